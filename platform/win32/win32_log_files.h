#pragma once
// The real log files: CreateFileA for appending only, WriteFile,
// FlushFileBuffers; the time from GetSystemTime.
#include "platform/log_files.h"

namespace nolpa::platform::win32 {

class Win32LogFiles final : public LogFiles {
 public:
  LogFile OpenForAppend(const std::string& path) override;
  bool Append(LogFile log, std::string_view bytes) override;
  void Close(LogFile log) override;
  UtcTime UtcNow() override;
};

}  // namespace nolpa::platform::win32
