#pragma once
// The real USB host controller and hub device files.
#include "platform/usb_hub_files.h"

namespace nolpa::platform::win32 {

class Win32UsbHubFiles final : public UsbHubFiles {
 public:
  DeviceHandle Open(const std::string& path) override;
  bool IoControl(DeviceHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* returned) override;
  void Close(DeviceHandle handle) override;
};

}  // namespace nolpa::platform::win32
