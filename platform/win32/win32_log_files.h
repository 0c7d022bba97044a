#pragma once
// The real log files: CreateFileW for appending only, WriteFile,
// FlushFileBuffers; the time from GetSystemTime; a file read whole with
// ReadFile, shared with those who append to it.
#include "platform/log_files.h"

namespace nolpa::platform::win32 {

class Win32LogFiles final : public LogFiles {
 public:
  LogFile OpenForAppend(const std::string& path) override;
  bool Append(LogFile log, std::string_view bytes) override;
  void Close(LogFile log) override;
  UtcTime UtcNow() override;
  ReadResult ReadWhole(const std::string& path, std::string* bytes) override;
};

}  // namespace nolpa::platform::win32
