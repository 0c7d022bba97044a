#include "platform/win32/win32_text_encoding.h"

#include <algorithm>

#include "platform/win32/text_conversion.h"

namespace nolpa::platform::win32 {

std::string Win32TextEncoding::AnsiToUtf8(std::string_view ansi) {
  // Every ANSI code page keeps the 7-bit characters as they are; most device
  // texts are nothing else, and two conversion calls per text would cost more
  // than the Find that read them.
  if (std::all_of(ansi.begin(), ansi.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(ansi);
  return WideToUtf8(AnsiToWide(std::string(ansi)));
}

bool Win32TextEncoding::Utf8ToAnsi(std::string_view utf8, std::string* ansi) {
  std::wstring wide;
  return Utf8ToWideStrictly(std::string(utf8), &wide) && WideToAnsiExactly(wide, ansi);
}

}  // namespace nolpa::platform::win32
