#include "serial_library/engine/port_io.h"

#include <algorithm>
#include <array>

namespace nolpa::serial_library {

bool WriteWhole(platform::DeviceFiles& files, platform::DeviceHandle handle,
                std::span<const std::uint8_t> bytes, std::size_t* sent) {
  *sent = 0;
  int stalled = 0;
  while (*sent < bytes.size() && stalled < kStalledWrites) {
    const auto rest = static_cast<std::uint32_t>(bytes.size() - *sent);
    std::uint32_t done = 0;
    const bool ok = files.Write(handle, bytes.data() + *sent, rest, &done);
    *sent += std::min(done, rest);  // a driver that claims more took the rest
    if (!ok) break;
    stalled = done == 0 ? stalled + 1 : 0;
  }
  return *sent == bytes.size();
}

CPortIO::CPortIO(platform::DeviceFiles& files, platform::Clock& clock,
                 platform::DeviceHandle handle)
    : files_(files), clock_(clock), handle_(handle) {}

bool CPortIO::WriteAll(std::span<const std::uint8_t> bytes) {
  if (framingLost_) return false;
  std::size_t sent = 0;
  const bool whole = WriteWhole(files_, handle_, bytes, &sent);
  if (sent > 0 && !whole) framingLost_ = true;
  return whole;
}

ReadOutcome CPortIO::ReadExactly(std::span<std::uint8_t> buffer, int* emptyReadsLeft,
                                 std::uint32_t pauseMs) {
  std::size_t have = 0;
  while (have < buffer.size()) {
    const auto missing = static_cast<std::uint32_t>(buffer.size() - have);
    std::uint32_t got = 0;
    if (!files_.Read(handle_, buffer.data() + have, missing, &got)) return ReadOutcome::Failed;
    if (got > missing) return ReadOutcome::Failed;  // a driver that overran us
    have += got;
    if (got != 0) continue;
    if (--*emptyReadsLeft <= 0) return ReadOutcome::TimedOut;
    clock_.SleepMs(pauseMs);
  }
  return ReadOutcome::Done;
}

std::size_t CPortIO::ReadAway(std::size_t limit) {
  std::array<std::uint8_t, 512> scrap{};
  std::size_t dropped = 0;
  while (dropped < limit) {
    const auto ask = static_cast<std::uint32_t>(std::min(scrap.size(), limit - dropped));
    std::uint32_t got = 0;
    if (!files_.Read(handle_, scrap.data(), ask, &got) || got == 0 || got > ask) break;
    dropped += got;
  }
  return dropped;
}

}  // namespace nolpa::serial_library
