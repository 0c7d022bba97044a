#include "platform/win32/win32_text_encoding.h"

#include "platform/win32/text_conversion.h"

namespace nolpa::platform::win32 {

std::string Win32TextEncoding::AnsiToUtf8(std::string_view ansi) {
  return WideToUtf8(AnsiToWide(std::string(ansi)));
}

}  // namespace nolpa::platform::win32
