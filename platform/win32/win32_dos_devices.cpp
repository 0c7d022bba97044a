#include "platform/win32/win32_dos_devices.h"

#include <windows.h>

#include <cstring>

namespace nolpa::platform::win32 {

bool Win32DosDevices::QueryTarget(const std::string& name, std::string* firstTarget) {
  char buffer[4096];
  const DWORD length = QueryDosDeviceA(name.c_str(), buffer, sizeof buffer);
  if (length == 0) return false;
  // The reply is a list of NUL-terminated names; only the first counts.
  *firstTarget = std::string(buffer, strnlen(buffer, length));
  return true;
}

}  // namespace nolpa::platform::win32
