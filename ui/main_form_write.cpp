// The Write button.
#include "ui/main_form.h"

namespace nolpa::ui {

void TMainForm::Button3Click() {
  DisableForAction();
  RestoreAfterAction();
}

}  // namespace nolpa::ui
