#include "serial_library/engine/port_io.h"

namespace nolpa::serial_library {

CPortIO::CPortIO(platform::DeviceFiles& files, platform::Clock& clock,
                 platform::DeviceHandle handle)
    : files_(files), clock_(clock), handle_(handle) {}

bool CPortIO::WriteAll(std::span<const std::uint8_t> bytes) {
  if (framingLost_) return false;
  std::uint32_t done = 0;
  const auto size = static_cast<std::uint32_t>(bytes.size());
  const bool ok = files_.Write(handle_, bytes.data(), size, &done);
  if (done > 0 && done < size) framingLost_ = true;
  return ok && done == size;
}

ReadOutcome CPortIO::ReadExactly(std::span<std::uint8_t> buffer, int* emptyReadsLeft,
                                 std::uint32_t pauseMs) {
  std::size_t have = 0;
  while (have < buffer.size()) {
    const auto missing = static_cast<std::uint32_t>(buffer.size() - have);
    std::uint32_t got = 0;
    if (!files_.Read(handle_, buffer.data() + have, missing, &got))
      return ReadOutcome::Failed;
    if (got > missing) return ReadOutcome::Failed;  // a driver that overran us
    have += got;
    if (got != 0) continue;
    if (--*emptyReadsLeft <= 0) return ReadOutcome::TimedOut;
    clock_.SleepMs(pauseMs);
  }
  return ReadOutcome::Done;
}

}  // namespace nolpa::serial_library
