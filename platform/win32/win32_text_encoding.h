#pragma once
// The real ANSI-to-UTF-8 conversion: through UTF-16 in the system's ANSI
// code page.
#include "platform/text_encoding.h"

namespace nolpa::platform::win32 {

class Win32TextEncoding final : public TextEncoding {
 public:
  std::string AnsiToUtf8(std::string_view ansi) override;
};

}  // namespace nolpa::platform::win32
