#pragma once
// How long one device call may wait before it is cancelled. A printer's
// driver need not honour the serial time-outs (the USB printer class driver
// and the maker's USB driver refuse them), and may leave a read pending while
// the printer has nothing to say or a write pending while it is offline; the
// device-file adapter therefore bounds every call itself, by the time-outs
// the caller put on the handle, whether or not the driver took them.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/device_files.h"

namespace nolpa::platform {

// A read asked to return at once still gets this long for what the device
// has waiting to arrive (a USB transfer takes a frame or two).
inline constexpr std::uint32_t kImmediateReadGraceMs = 5;
// A write on a handle whose time-outs give it no total: the two seconds the
// program's channel time-outs give every write.
inline constexpr std::uint32_t kDefaultWriteBoundMs = 2000;
// A control request: longer than any answer a driver needs, with room for a
// board that stores what it was sent before it completes the request.
inline constexpr std::uint32_t kControlBoundMs = 5000;
// No read or write waits longer than this, whatever its time-outs ask.
inline constexpr std::uint32_t kLongestDeviceWaitMs = 10000;

namespace bounds_detail {
inline constexpr std::uint32_t kMax = 0xFFFFFFFF;

// multiplier * size + constant, held at kMax instead of wrapping round.
inline std::uint64_t Total(std::uint32_t multiplier, std::uint32_t size, std::uint32_t constant) {
  return std::min<std::uint64_t>(std::uint64_t{multiplier} * size + constant, kMax);
}

inline std::uint32_t Capped(std::uint64_t ms) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, kLongestDeviceWaitMs));
}
}  // namespace bounds_detail

// The longest a read of `size` bytes waits, by the time-outs last put on its
// handle (none: every reader in this code polls, so at once).
//  - interval at its maximum with no total constant: return at once (the
//    documented form has a zero multiplier; the program's channel time-outs
//    put the multiplier at its maximum too, meaning the same);
//  - interval and multiplier at their maximum, a constant between: wait that
//    long for a first byte;
//  - otherwise multiplier * size + constant; a zero total (no total time-out
//    at all) and anything longer are held to kLongestDeviceWaitMs.
inline std::uint32_t ReadBoundMs(const std::optional<CommTimeouts>& timeouts, std::uint32_t size) {
  using namespace bounds_detail;
  if (!timeouts) return kImmediateReadGraceMs;
  const CommTimeouts& t = *timeouts;
  const bool anyGap = t.readIntervalTimeout == kMax;
  if (anyGap && t.readTotalTimeoutConstant == 0 &&
      (t.readTotalTimeoutMultiplier == 0 || t.readTotalTimeoutMultiplier == kMax))
    return kImmediateReadGraceMs;
  if (anyGap && t.readTotalTimeoutMultiplier == kMax && t.readTotalTimeoutConstant != kMax)
    return Capped(std::uint64_t{t.readTotalTimeoutConstant} + kImmediateReadGraceMs);
  const std::uint64_t total = Total(t.readTotalTimeoutMultiplier, size, t.readTotalTimeoutConstant);
  return total == 0 ? kLongestDeviceWaitMs : Capped(total + kImmediateReadGraceMs);
}

// The longest a write of `size` bytes waits: the time-outs' total
// (multiplier * size + constant), kDefaultWriteBoundMs when they give none
// or none were set, never more than kLongestDeviceWaitMs.
inline std::uint32_t WriteBoundMs(const std::optional<CommTimeouts>& timeouts, std::uint32_t size) {
  using namespace bounds_detail;
  if (!timeouts) return kDefaultWriteBoundMs;
  const std::uint64_t total =
      Total(timeouts->writeTotalTimeoutMultiplier, size, timeouts->writeTotalTimeoutConstant);
  return total == 0 ? kDefaultWriteBoundMs : Capped(total);
}

}  // namespace nolpa::platform
