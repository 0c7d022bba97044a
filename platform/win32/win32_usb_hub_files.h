#pragma once
// The real USB host controller and hub device files.
#include "platform/usb_hub_files.h"
#include "platform/win32/win32_device_files.h"

namespace nolpa::platform::win32 {

class Win32UsbHubFiles final : public UsbHubFiles {
 public:
  DeviceHandle Open(const std::string& path) override;
  // The same bounded DeviceIoControl and CloseHandle as a printer's device
  // file.
  bool IoControl(DeviceHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    return files_.IoControl(handle, code, in, inSize, out, outSize, returned);
  }
  void Close(DeviceHandle handle) override { files_.Close(handle); }

 private:
  Win32DeviceFiles files_;
};

}  // namespace nolpa::platform::win32
