#include "platform/win32/win32_log_files.h"

#include <windows.h>

#include "platform/win32/text_conversion.h"

namespace nolpa::platform::win32 {

static_assert(sizeof(LogFile) >= sizeof(HANDLE));

LogFile Win32LogFiles::OpenForAppend(const std::string& path) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of
  // the file, whoever else appends, and nothing in it can be written over.
  const HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
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

ReadResult Win32LogFiles::ReadWhole(const std::string& path, std::string* bytes) {
  const HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadResult::Missing
                                                                          : ReadResult::Failed;
  }
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != 0 && size.QuadPart >= 0 &&
            static_cast<unsigned long long>(size.QuadPart) <= kMostBytesRead;
  std::string read;
  if (ok) {
    read.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    // A file that grows meanwhile is read as far as it was long at first.
    while (ok && done < read.size()) {
      DWORD got = 0;
      ok = ReadFile(file, read.data() + done, static_cast<DWORD>(read.size() - done), &got,
                    nullptr) != 0 &&
           got > 0;
      done += got;
    }
  }
  CloseHandle(file);
  if (!ok) return ReadResult::Failed;
  *bytes = std::move(read);
  return ReadResult::Read;
}

}  // namespace nolpa::platform::win32
