#pragma once
// What the serial-number library needs to know about the system to find a
// printer driver's companion library: the system folder, the Windows
// version, whether a file exists, and a driver's INI-style data file.
// Real implementation: GetSystemDirectoryA, GetVersionExA,
// GetFileAttributesA, GetPrivateProfileStringA.
#include <cstdint>
#include <string>

namespace nolpa::platform {

struct WindowsVersion {
  bool ntLine = false;  // dwPlatformId == VER_PLATFORM_WIN32_NT
  std::uint32_t major = 0;
};

class SystemFolders {
 public:
  virtual ~SystemFolders() = default;

  // GetSystemDirectoryA: the system folder without a trailing backslash
  // (unless it is a drive's root); empty on failure.
  virtual std::string SystemDirectory() = 0;

  // GetVersionExA with the plain OSVERSIONINFOA. {false, 0} on failure.
  virtual WindowsVersion Version() = 0;

  // GetFileAttributesA: true when `path` names an existing file (not a
  // folder).
  virtual bool FileExists(const std::string& path) = 0;

  // GetPrivateProfileStringA(section, key, "", buffer, maxBytes, file): the
  // value, at most maxBytes - 1 characters; empty when the file, section or
  // key is missing.
  virtual std::string IniString(const std::string& file, const std::string& section,
                                const std::string& key, std::uint32_t maxBytes) = 0;
};

}  // namespace nolpa::platform
