#pragma once
// The two text streams of a console program: results on the output stream,
// messages and progress on the error stream. Real implementation:
// GetStdHandle, GetConsoleMode, WriteConsoleW / WriteFile,
// MultiByteToWideChar; natively isatty and write.
#include <string>
#include <string_view>

namespace nolpa::platform {

enum class Stream { Output, Error };

class ConsoleStreams {
 public:
  virtual ~ConsoleStreams() = default;

  // True when the stream is a console (a terminal) that a person reads,
  // false when it is redirected to a file or a pipe, or closed.
  virtual bool IsConsole(Stream stream) = 0;

  // Writes `utf8` whole. On a console it is shown as the text it is, in
  // whatever code page the console has (on Windows through the wide call);
  // redirected it goes out as UTF-8 bytes. Failures are ignored: a closed
  // stream loses the text, the program goes on.
  virtual void Write(Stream stream, std::string_view utf8) = 0;
};

}  // namespace nolpa::platform
