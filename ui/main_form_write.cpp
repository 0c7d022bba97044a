// The Write button.
#include "ident/write_procedure.h"
#include "ui/main_form.h"

namespace nolpa::ui {

void TMainForm::Button3Click() {
  const bool printerClass = OnPrinterClassRoute();
  const std::optional<std::size_t> selected = StartAction(printerClass);
  if (!selected) return;
  ident::WriteRequest request;
  request.printerClassRoute = printerClass;
  request.record = DeviceList->Record(*selected);
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
