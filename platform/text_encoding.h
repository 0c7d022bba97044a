#pragma once
// Device texts are 8-bit strings in the system's ANSI code page; what the
// program writes for other programs to read (JSON, CSV, log lines) is
// UTF-8. Real implementation: MultiByteToWideChar(CP_ACP) then
// WideCharToMultiByte(CP_UTF8); natively (the simulator's Western system)
// code page 1252.
#include <string>
#include <string_view>

namespace nolpa::platform {

class TextEncoding {
 public:
  virtual ~TextEncoding() = default;

  // The ANSI text as UTF-8. Every byte gives a character: a byte the code
  // page leaves undefined becomes the control character of the same value
  // (as MultiByteToWideChar maps it), an incomplete double-byte character
  // U+FFFD. Never fails; an empty text gives an empty text.
  virtual std::string AnsiToUtf8(std::string_view ansi) = 0;
};

}  // namespace nolpa::platform
