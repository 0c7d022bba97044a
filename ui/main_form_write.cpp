// The Write button.
#include "ident/write_procedure.h"
#include "ui/main_form.h"

namespace nolpa::ui {

void TMainForm::Button3Click() {
  DisableForAction();
  const bool printerClass = OnPrinterClassRoute();
  const int index = ComboBox1.SelectedIndex();
  if (!DeviceList || index < 0 || static_cast<std::size_t>(index) >= DeviceList->Count()) {
    RestoreAfterAction(printerClass);
    return;
  }
  ident::WriteRequest request;
  request.printerClassRoute = printerClass;
  request.record = DeviceList->Record(static_cast<std::size_t>(index));
  request.idCode = Edit1.Text();
  request.idName = Edit2.Text();

  const ident::WriteOutcome outcome = [&] {
    const BusyScope busy(*this);
    return ident::WriteId(services_.platform, request, BoardHandle,
                          ident::SetSerialNumberFn(SetUSBSerialNumber));
  }();
  if (outcome.message) ShowActionMessage(*outcome.message);
  RestoreAfterAction(printerClass);
  if (outcome.runFind) Button1Click();
}

}  // namespace nolpa::ui
