#include "platform/win32/win32_usb_hub_files.h"

#include <windows.h>

namespace nolpa::platform::win32 {

DeviceHandle Win32UsbHubFiles::Open(const std::string& path) {
  // Overlapped, so that its requests are bounded as a printer's are.
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  return reinterpret_cast<DeviceHandle>(handle);
}

}  // namespace nolpa::platform::win32
