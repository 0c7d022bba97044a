#pragma once
// NOLPAID-sim.exe only: the simulated printers' byte channel put on a real
// device. With NOLPA_SIM_BYTE_CHANNEL naming a device path (a named pipe a
// test holds and never answers, say), every read, write and time-out setting
// on a simulated printer's handle goes to that device through the real
// device-file adapter, while the printers still answer their control
// requests and so are found as usual. The program and its library then meet
// a printer whose driver leaves every request pending, as they may on a real
// machine, in a run that can be watched from outside.
#include <map>
#include <mutex>
#include <string>

#include "platform/device_files.h"
#include "platform/win32/win32_device_files.h"

namespace nolpa::app {

// The device path NOLPA_SIM_BYTE_CHANNEL names; empty when it is not set.
std::string ByteChannelPathFromEnvironment();

class RedirectedByteChannel final : public platform::DeviceFiles {
 public:
  // `simulated` outlives this object.
  RedirectedByteChannel(platform::DeviceFiles& simulated, std::string channelPath)
      : simulated_(simulated), channelPath_(std::move(channelPath)) {}

  platform::DeviceHandle Open(const std::string& path) override { return simulated_.Open(path); }
  bool Read(platform::DeviceHandle handle, void* buffer, std::uint32_t size,
            std::uint32_t* done) override;
  bool ReadWaiting(platform::DeviceHandle handle, void* buffer, std::uint32_t size,
                   std::uint32_t waitMs, std::uint32_t* done) override;
  bool Write(platform::DeviceHandle handle, const void* data, std::uint32_t size,
             std::uint32_t* done) override;
  bool IoControl(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                 std::uint32_t* returned) override {
    return simulated_.IoControl(handle, code, in, inSize, out, outSize, returned);
  }
  platform::ControlResult Control(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                                  std::uint32_t inSize, void* out, std::uint32_t outSize,
                                  std::uint32_t* returned) override {
    return simulated_.Control(handle, code, in, inSize, out, outSize, returned);
  }
  bool SetTimeouts(platform::DeviceHandle handle, const platform::CommTimeouts& timeouts) override;
  void Close(platform::DeviceHandle handle) override;

 private:
  // The real channel of a simulated handle, opened on its first use;
  // kInvalidDeviceHandle when the channel device cannot be opened.
  platform::DeviceHandle ChannelOf(platform::DeviceHandle handle);

  platform::DeviceFiles& simulated_;
  std::string channelPath_;
  platform::win32::Win32DeviceFiles real_;
  std::mutex mutex_;
  std::map<platform::DeviceHandle, platform::DeviceHandle> channels_;
};

}  // namespace nolpa::app
