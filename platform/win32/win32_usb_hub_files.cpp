#include "platform/win32/win32_usb_hub_files.h"

#include <windows.h>

namespace nolpa::platform::win32 {

namespace {
HANDLE ToHandle(DeviceHandle handle) { return reinterpret_cast<HANDLE>(handle); }
}  // namespace

DeviceHandle Win32UsbHubFiles::Open(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  return reinterpret_cast<DeviceHandle>(handle);
}

bool Win32UsbHubFiles::IoControl(DeviceHandle handle, std::uint32_t code, const void* in,
                                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                                 std::uint32_t* returned) {
  DWORD count = 0;
  const bool ok = DeviceIoControl(ToHandle(handle), code, const_cast<void*>(in), inSize, out,
                                  outSize, &count, nullptr) != FALSE;
  *returned = count;
  return ok;
}

void Win32UsbHubFiles::Close(DeviceHandle handle) {
  if (handle == kInvalidDeviceHandle) return;
  CloseHandle(ToHandle(handle));
}

}  // namespace nolpa::platform::win32
