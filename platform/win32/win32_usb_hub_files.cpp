#include "platform/win32/win32_usb_hub_files.h"

#include <windows.h>

namespace nolpa::platform::win32 {

DeviceHandle Win32UsbHubFiles::Open(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  return reinterpret_cast<DeviceHandle>(handle);
}

}  // namespace nolpa::platform::win32
