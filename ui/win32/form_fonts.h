#pragma once
// The window's two fonts: the design font, and the same face with the
// Japanese character set for the controls that show the ID code.
#include <windows.h>

#include "ui/layout.h"

namespace nolpa::ui::win32 {

class FormFonts {
 public:
  FormFonts();
  ~FormFonts();
  FormFonts(const FormFonts&) = delete;
  FormFonts& operator=(const FormFonts&) = delete;

  HFONT For(const ControlLayout& layout) const { return layout.shiftJisFont ? shiftJis_ : normal_; }
  HFONT Normal() const { return normal_; }

 private:
  HFONT normal_;
  HFONT shiftJis_;
};

}  // namespace nolpa::ui::win32
