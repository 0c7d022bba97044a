// The busy state of the form: on while an action blocks the thread.
#include "ui/main_form.h"

namespace nolpa::ui {

TMainForm::BusyScope::BusyScope(TMainForm& form) : form_(form) {
  if (form_.busyDepth_++ == 0 && form_.observer_ != nullptr) form_.observer_->BusyChanged(true);
}

TMainForm::BusyScope::~BusyScope() {
  if (--form_.busyDepth_ == 0 && form_.observer_ != nullptr) form_.observer_->BusyChanged(false);
}

}  // namespace nolpa::ui
