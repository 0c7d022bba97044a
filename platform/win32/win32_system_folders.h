#pragma once
// The real system facts the library reads: GetSystemDirectoryA,
// GetVersionExA, GetFileAttributesA, GetPrivateProfileStringA.
#include "platform/system_folders.h"

namespace nolpa::platform::win32 {

class Win32SystemFolders final : public SystemFolders {
 public:
  std::string SystemDirectory() override;
  WindowsVersion Version() override;
  bool FileExists(const std::string& path) override;
  std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                        std::uint32_t maxBytes) override;
};

}  // namespace nolpa::platform::win32
