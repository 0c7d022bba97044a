#pragma once
// USB host controllers ("\\.\HCD0") and hubs (their interface paths), opened
// to ask for their names and ports. Unlike a printer, a hub or controller is
// opened for writing only and shared for writing, since the system's own
// components keep it open. Real implementation: CreateFileA /
// DeviceIoControl / CloseHandle. The simulator implements the same contract.
#include <cstdint>
#include <string>

#include "platform/device_files.h"

namespace nolpa::platform {

class UsbHubFiles {
 public:
  virtual ~UsbHubFiles() = default;

  // CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_EXISTING).
  // kInvalidDeviceHandle when there is no such controller or hub.
  virtual DeviceHandle Open(const std::string& path) = 0;

  // DeviceIoControl. `in`/`out` may be null with a size of 0. True when the
  // driver accepted the request; `*returned` receives the count of output
  // bytes it filled in. A request still pending after kControlBoundMs
  // (device_call_bounds.h) is cancelled and fails.
  virtual bool IoControl(DeviceHandle handle, std::uint32_t code, const void* in,
                         std::uint32_t inSize, void* out, std::uint32_t outSize,
                         std::uint32_t* returned) = 0;

  // CloseHandle. Closing kInvalidDeviceHandle does nothing.
  virtual void Close(DeviceHandle handle) = 0;
};

}  // namespace nolpa::platform
