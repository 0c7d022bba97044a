#pragma once
// The enabled state that every way out of Write and the communication test
// leaves: all but Test Print and the ID name box, and those two as well
// unless the device is on the USB Printer Class route.
#include <gtest/gtest.h>

#include "ui/layout.h"
#include "ui/main_form.h"

namespace nolpa::testing {

inline void ExpectRestored(ui::TMainForm& form, bool printerClass) {
  for (ui::Control* c :
       {&form.Button1, &form.Button2, &form.Button3, &form.Button4, &form.Button6, &form.Edit1})
    EXPECT_TRUE(c->Enabled()) << ui::LayoutOf(c->Id()).name;
  EXPECT_EQ(form.Button5.Enabled(), !printerClass);
  EXPECT_EQ(form.Edit2.Enabled(), !printerClass);
}

}  // namespace nolpa::testing
