#pragma once
// The real device files: one Win32 call per operation on a HANDLE, opened
// for overlapped I/O so that every read, write and control request ends
// within its bound (platform/device_call_bounds.h) whatever the driver does.
// The handle's serial time-outs are kept here, whether or not the driver
// took them, because they set those bounds.
#include <map>
#include <mutex>
#include <optional>

#include "platform/device_files.h"
#include "platform/win32/bounded_request.h"

namespace nolpa::platform::win32 {

class Win32DeviceFiles final : public DeviceFiles {
 public:
  DeviceHandle Open(const std::string& path) override;
  bool Read(DeviceHandle handle, void* buffer, std::uint32_t size, std::uint32_t* done) override;
  bool ReadWaiting(DeviceHandle handle, void* buffer, std::uint32_t size, std::uint32_t waitMs,
                   std::uint32_t* done) override;
  bool Write(DeviceHandle handle, const void* data, std::uint32_t size,
             std::uint32_t* done) override;
  bool IoControl(DeviceHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* returned) override;
  ControlResult Control(DeviceHandle handle, std::uint32_t code, const void* in,
                        std::uint32_t inSize, void* out, std::uint32_t outSize,
                        std::uint32_t* returned) override;
  bool SetTimeouts(DeviceHandle handle, const CommTimeouts& timeouts) override;
  void Close(DeviceHandle handle) override;

 private:
  struct HandleState {
    std::optional<CommTimeouts> timeouts;
    bool seekable = false;  // a disk file: requests carry the position
    std::uint64_t position = 0;
    // The driver kept a cancelled request: later requests fail at once
    // rather than queue behind it.
    bool stuck = false;
  };
  // A handle this object did not open (a hub's) has the default state.
  HandleState StateOf(DeviceHandle handle);
  // Runs a read or a write at the handle's position, bounded by `bound` of
  // its time-outs, or by `atLeastMs` when that is longer; a stuck handle's
  // request fails at once.
  RequestOutcome Transfer(DeviceHandle handle, BoundedRequest request,
                          std::uint32_t (*bound)(const std::optional<CommTimeouts>&, std::uint32_t),
                          std::uint32_t atLeastMs = 0);
  void Advance(DeviceHandle handle, std::uint32_t count, bool abandoned);

  std::mutex mutex_;
  std::map<DeviceHandle, HandleState> states_;
};

}  // namespace nolpa::platform::win32
