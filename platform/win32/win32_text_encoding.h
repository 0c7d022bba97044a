#pragma once
// The real conversions between the system's ANSI code page and UTF-8,
// through UTF-16.
#include "platform/text_encoding.h"

namespace nolpa::platform::win32 {

class Win32TextEncoding final : public TextEncoding {
 public:
  std::string AnsiToUtf8(std::string_view ansi) override;
  bool Utf8ToAnsi(std::string_view utf8, std::string* ansi) override;
};

}  // namespace nolpa::platform::win32
