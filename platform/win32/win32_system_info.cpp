#include "platform/win32/win32_system_info.h"

#include <windows.h>

namespace nolpa::platform::win32 {

// The caller-visible contract names the size 148: the plain OSVERSIONINFOA.
static_assert(sizeof(OSVERSIONINFOA) == 148);

std::uint16_t Win32SystemInfo::UserDefaultLangId() { return GetUserDefaultLangID(); }

std::uint32_t Win32SystemInfo::MajorVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return 0;
  return info.dwMajorVersion;
}

}  // namespace nolpa::platform::win32
