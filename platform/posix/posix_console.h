#pragma once
// The console seams of the native (simulator) build on Linux: standard
// output and error (isatty, write), SIGINT, SIGTERM and SIGHUP as requests
// to stop, log files (open with O_APPEND, write, fsync), the UTC clock, and
// the Western system's ANSI code page 1252 that the simulator plays.
#include "platform/console_signals.h"
#include "platform/console_streams.h"
#include "platform/log_files.h"
#include "platform/text_encoding.h"

namespace nolpa::platform::posix {

class PosixConsoleStreams final : public ConsoleStreams {
 public:
  bool IsConsole(Stream stream) override;
  void Write(Stream stream, std::string_view utf8) override;
};

// One per process: the signal handler only sets a flag; a second SIGINT
// ends the process with kEndedBySecondRequest (at EndWrite when it came
// while a write was being sent).
class PosixConsoleSignals final : public ConsoleSignals {
 public:
  void Watch() override;
  bool StopRequested() override;
  void BeginWrite() override;
  void EndWrite() override;
  void CleanUpFinished() override {}
};

class PosixLogFiles final : public LogFiles {
 public:
  LogFile OpenForAppend(const std::string& path) override;
  bool Append(LogFile log, std::string_view bytes) override;
  void Close(LogFile log) override;
  UtcTime UtcNow() override;
  ReadResult ReadWhole(const std::string& path, std::string* bytes) override;
};

// Code page 1252: 0x80 to 0x9F by its table (the five bytes it leaves
// undefined as the control characters of the same value), the rest as
// Latin-1; a character outside it has no byte (no look-alike is taken).
class Windows1252Encoding final : public TextEncoding {
 public:
  std::string AnsiToUtf8(std::string_view ansi) override;
  bool Utf8ToAnsi(std::string_view utf8, std::string* ansi) override;
};

}  // namespace nolpa::platform::posix
