// The date button and the ID code box's normalisation.
#include "ident/id_rules.h"
#include "ui/main_form.h"

namespace nolpa::ui {

void TMainForm::Button2Click() {
  Edit1.SetText(ident::DateIdCode(services_.platform.clock->LocalNow(), OnPrinterClassRoute()));
}

void TMainForm::Edit1Exit() {
  const bool printerClass = OnPrinterClassRoute();
  if (!printerClass) return;
  Edit1.SetText(ident::NormaliseIdCode(Edit1.Text(), printerClass));
}

}  // namespace nolpa::ui
