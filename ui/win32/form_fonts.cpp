#include "ui/win32/form_fonts.h"

#include "platform/win32/text_conversion.h"

namespace nolpa::ui::win32 {

namespace {

HFONT MakeFont(BYTE charset) {
  const std::wstring face = platform::win32::Utf8ToWide(kFontFace);
  // A negative height asks for the character height, as the design gives it.
  return CreateFontW(-kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

}  // namespace

FormFonts::FormFonts()
    : normal_(MakeFont(DEFAULT_CHARSET)), shiftJis_(MakeFont(SHIFTJIS_CHARSET)) {}

FormFonts::~FormFonts() {
  DeleteObject(normal_);
  DeleteObject(shiftJis_);
}

}  // namespace nolpa::ui::win32
