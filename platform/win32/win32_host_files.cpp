#include "platform/win32/win32_host_files.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/text_conversion.h"

namespace nolpa::platform::win32 {

static_assert(sizeof(FileHold) == sizeof(HANDLE));

std::uint32_t Win32HostFiles::TempPath(char* buffer, std::uint32_t size) {
  std::wstring wide(GetTempPathW(0, nullptr), L'\0');
  const DWORD length =
      wide.empty() ? 0 : GetTempPathW(static_cast<DWORD>(wide.size()), wide.data());
  if (length == 0 || length >= wide.size()) return 0;
  const std::string path = WideToUtf8(wide.substr(0, length));
  if (path.empty()) return 0;
  if (path.size() + 1 > size) return static_cast<std::uint32_t>(path.size() + 1);
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<std::uint32_t>(path.size());
}

bool Win32HostFiles::CreateFolder(const std::string& path) {
  return CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr) != FALSE;
}

bool Win32HostFiles::IsReparsePoint(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool Win32HostFiles::CreateNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
      written == bytes.size();
  return CloseHandle(file) != FALSE && ok;
}

FileHold Win32HostFiles::HoldFile(const std::string& path) {
  HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<FileHold>(file);
}

bool Win32HostFiles::ReadHeldFile(FileHold hold, std::uint32_t limit,
                                  std::vector<std::uint8_t>* bytes) {
  bytes->assign(limit, 0);
  DWORD read = 0;
  const bool ok =
      ReadFile(reinterpret_cast<HANDLE>(hold), bytes->data(), limit, &read, nullptr) != FALSE;
  bytes->resize(ok ? read : 0);
  return ok;
}

void Win32HostFiles::ReleaseFile(FileHold hold) {
  if (hold == kNoFileHold) return;
  CloseHandle(reinterpret_cast<HANDLE>(hold));
}

bool Win32HostFiles::SetNormalAttributes(const std::string& path) {
  return SetFileAttributesW(Utf8ToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool Win32HostFiles::RemoveFile(const std::string& path) {
  return DeleteFileW(Utf8ToWide(path).c_str()) != FALSE;
}

bool Win32HostFiles::RemoveFolder(const std::string& path) {
  return RemoveDirectoryW(Utf8ToWide(path).c_str()) != FALSE;
}

}  // namespace nolpa::platform::win32
