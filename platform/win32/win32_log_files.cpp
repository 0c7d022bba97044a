#include "platform/win32/win32_log_files.h"

#include <windows.h>

namespace nolpa::platform::win32 {

static_assert(sizeof(LogFile) >= sizeof(HANDLE));

LogFile Win32LogFiles::OpenForAppend(const std::string& path) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of
  // the file, whoever else appends, and nothing in it can be written over.
  const HANDLE file =
      CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kNoLog;
  return reinterpret_cast<LogFile>(file);
}

bool Win32LogFiles::Append(LogFile log, std::string_view bytes) {
  if (log == kNoLog) return false;
  const HANDLE file = reinterpret_cast<HANDLE>(log);
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
      written == bytes.size();
  return FlushFileBuffers(file) != 0 && ok;
}

void Win32LogFiles::Close(LogFile log) {
  if (log != kNoLog) CloseHandle(reinterpret_cast<HANDLE>(log));
}

UtcTime Win32LogFiles::UtcNow() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return UtcTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace nolpa::platform::win32
