#include "platform/win32/win32_system_folders.h"

#include <windows.h>

#include <vector>

namespace nolpa::platform::win32 {

std::string Win32SystemFolders::SystemDirectory() {
  char buffer[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryA(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  return std::string(buffer, length);
}

WindowsVersion Win32SystemFolders::Version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return {};
  return {info.dwPlatformId == VER_PLATFORM_WIN32_NT, info.dwMajorVersion};
}

bool Win32SystemFolders::FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string Win32SystemFolders::IniString(const std::string& file, const std::string& section,
                                          const std::string& key, std::uint32_t maxBytes) {
  if (maxBytes == 0) return {};
  std::vector<char> buffer(maxBytes, '\0');
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                maxBytes, file.c_str());
  return std::string(buffer.data(), length);
}

}  // namespace nolpa::platform::win32
