// The two printer test buttons: the communication test and the test print.
#include "printerio/communication_test.h"
#include "printerio/test_print.h"
#include "ui/main_form.h"

namespace nolpa::ui {

void TMainForm::Button6Click() {
  const bool printerClass = OnPrinterClassRoute();
  const std::optional<std::size_t> selected = StartAction(printerClass);
  if (!selected) return;
  const std::size_t record = *selected;
  printerio::CommTestRequest request;
  request.printerClassRoute = printerClass;
  request.devicePath = DeviceList->Get(record, discovery::DevicePath);
  request.productText = DeviceList->Get(record, discovery::ProductText);
  request.infoLine1 = DeviceList->Get(record, discovery::InfoLine1);

  const printerio::CommTestOutcome outcome = [&] {
    const BusyScope busy(*this);
    return printerio::RunCommunicationTest(services_.platform, request,
                                           printerio::FirmwareVersionFn(GetPrinterFirmwareVersion));
  }();
  // Kept even when the test failed later on: shown at the next display.
  DeviceList->Set(record, discovery::InfoLine1, outcome.infoLine1);
  ShowMessage(outcome.succeeded ? resources::MessageId::CommTestSucceeded
                                : resources::MessageId::CannotCommunicate);
  RestoreAfterAction(printerClass);
  if (outcome.refreshDisplay) ComboBox1Change();
}

void TMainForm::Button5Click() {
  const std::optional<std::size_t> selected = SelectedRecord();
  if (!selected) return;
  // A printer that takes the line slowly holds the thread up to 2 s.
  const BusyScope busy(*this);
  printerio::SendTestPrint(services_.platform, DeviceList->Get(*selected, discovery::DevicePath),
                           OnPrinterClassRoute());
}

}  // namespace nolpa::ui
