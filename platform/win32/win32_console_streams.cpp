#include "platform/win32/win32_console_streams.h"

#include <windows.h>

#include "platform/win32/text_conversion.h"

namespace nolpa::platform::win32 {

namespace {

HANDLE StreamHandle(Stream stream) {
  return GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

}  // namespace

bool Win32ConsoleStreams::IsConsole(Stream stream) {
  DWORD mode = 0;
  const HANDLE handle = StreamHandle(stream);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void Win32ConsoleStreams::Write(Stream stream, std::string_view utf8) {
  const HANDLE handle = StreamHandle(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty()) return;
  DWORD done = 0;
  if (IsConsole(stream)) {
    const std::wstring wide = Utf8ToWide(std::string(utf8));
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
    return;
  }
  WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
}

}  // namespace nolpa::platform::win32
