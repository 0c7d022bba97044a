#pragma once
// A control request to a USB device that may be idle in selective suspend.
// Such a device can fail its first request with "not ready" while it wakes,
// and answer the next one; with the spooler stopped nothing else keeps it
// awake. The request is sent once more after a short pause, and only then.
#include <cstdint>

#include "platform/clock.h"
#include "platform/device_files.h"

namespace nolpa::platform {

// Time a woken device is given before the request is repeated.
inline constexpr std::uint32_t kWakePauseMs = 100;

// DeviceFiles::Control, repeated once after kWakePauseMs when the first
// attempt finds the device not ready. True when the driver accepted the
// request (either attempt); `*returned` holds the last attempt's count.
inline bool IoControlWaking(DeviceFiles& files, Clock& clock, DeviceHandle handle,
                            std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                            std::uint32_t outSize, std::uint32_t* returned) {
  ControlResult result = files.Control(handle, code, in, inSize, out, outSize, returned);
  if (result == ControlResult::NotReady) {
    clock.SleepMs(kWakePauseMs);
    result = files.Control(handle, code, in, inSize, out, outSize, returned);
  }
  return result == ControlResult::Done;
}

}  // namespace nolpa::platform
