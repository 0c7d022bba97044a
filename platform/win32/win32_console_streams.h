#pragma once
// The real standard output and error: a console is written with
// WriteConsoleW (the text shows right whatever the console's code page),
// anything else (a file, a pipe) gets the UTF-8 bytes with WriteFile.
#include "platform/console_streams.h"

namespace nolpa::platform::win32 {

class Win32ConsoleStreams final : public ConsoleStreams {
 public:
  bool IsConsole(Stream stream) override;
  void Write(Stream stream, std::string_view utf8) override;
};

}  // namespace nolpa::platform::win32
