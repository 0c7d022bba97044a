#pragma once
// The real device files: one Win32 call per operation on a HANDLE.
#include "platform/device_files.h"

namespace nolpa::platform::win32 {

class Win32DeviceFiles final : public DeviceFiles {
 public:
  DeviceHandle Open(const std::string& path) override;
  bool Read(DeviceHandle handle, void* buffer, std::uint32_t size, std::uint32_t* done) override;
  bool Write(DeviceHandle handle, const void* data, std::uint32_t size,
             std::uint32_t* done) override;
  bool IoControl(DeviceHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* returned) override;
  bool SetTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) override;
  void Close(DeviceHandle handle) override;
};

}  // namespace nolpa::platform::win32
