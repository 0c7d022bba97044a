// The Write button.
#include "ident/write_procedure.h"
#include "ui/main_form.h"

namespace nolpa::ui {

void TMainForm::Button3Click() {
  const bool printerClass = OnPrinterClassRoute();
  const std::optional<std::size_t> selected = StartAction(printerClass);
  if (!selected) return;
  ident::WriteAudit* const audit = services_.writeAudit;
  // A write the trail could not record is not made at all.
  if (audit != nullptr && !audit->Ready()) {
    ShowMessage(resources::MessageId::AuditLogUnavailable);
    RestoreAfterAction(printerClass);
    return;
  }
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
  // Every way out of the write procedure names its message.
  const resources::MessageId said = outcome.message.value_or(resources::MessageId::WriteFailed);
  const bool recorded =
      audit == nullptr || audit->Record({printerClass, request.record, request.idCode,
                                         request.idName, ident::ResultOf(said), said});
  if (outcome.message) ShowActionMessage(*outcome.message);
  if (!recorded) ShowMessage(resources::MessageId::AuditLogNotWritten);
  RestoreAfterAction(printerClass);
  if (outcome.runFind) Button1Click();
}

}  // namespace nolpa::ui
