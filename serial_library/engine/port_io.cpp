#include "serial_library/engine/port_io.h"

#include <algorithm>
#include <cstring>
#include <limits>

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
    : files_(files), clock_(clock), handle_(handle), transfer_(kTransferBufferSize) {}

bool CPortIO::WriteAll(std::span<const std::uint8_t> bytes) {
  if (framingLost_) return false;
  std::size_t sent = 0;
  const bool whole = WriteWhole(files_, handle_, bytes, &sent);
  if (sent > 0 && !whole) framingLost_ = true;
  return whole;
}

void CPortIO::Consume(std::size_t count) {
  consumed_ += std::min(count, buffered_.size() - consumed_);
  if (consumed_ == buffered_.size()) {
    buffered_.clear();
    consumed_ = 0;
  } else if (consumed_ >= kTransferBufferSize) {
    buffered_.erase(buffered_.begin(), buffered_.begin() + static_cast<std::ptrdiff_t>(consumed_));
    consumed_ = 0;
  }
}

bool CPortIO::ReadTransfer(std::uint32_t waitMs, std::uint32_t* got) {
  *got = 0;
  if (!files_.ReadWaiting(handle_, transfer_.data(), kTransferBufferSize, waitMs, got))
    return false;
  if (*got > kTransferBufferSize) return false;  // a driver that overran us
  buffered_.insert(buffered_.end(), transfer_.begin(), transfer_.begin() + *got);
  bytesRead_ += *got;
  return true;
}

ReadOutcome CPortIO::Fill(std::uint64_t untilMs, std::uint32_t pauseMs) {
  constexpr std::uint64_t kLongestWait = std::numeric_limits<std::uint32_t>::max();
  for (;;) {
    const std::uint64_t asked = clock_.NowMs();
    const auto waitMs =
        static_cast<std::uint32_t>(std::min(untilMs > asked ? untilMs - asked : 0, kLongestWait));
    std::uint32_t got = 0;
    if (!ReadTransfer(waitMs, &got)) return ReadOutcome::Failed;
    if (got > 0) return ReadOutcome::Done;
    const std::uint64_t now = clock_.NowMs();
    if (now >= untilMs) return ReadOutcome::TimedOut;
    // The device answered at once with nothing: asking again at once would
    // only spin.
    if (now - asked < pauseMs)
      clock_.SleepMs(static_cast<std::uint32_t>(std::min<std::uint64_t>(pauseMs, untilMs - now)));
  }
}

std::size_t CPortIO::ReadAway(std::size_t limit) {
  std::size_t dropped = Buffered().size();
  Consume(dropped);
  while (dropped < limit) {
    std::uint32_t got = 0;
    if (!ReadTransfer(0, &got) || got == 0) break;
    dropped += got;
    Consume(got);
  }
  return dropped;
}

bool CPortIO::ReadAvailable(std::uint8_t* buffer, std::size_t size, std::size_t* count) {
  *count = 0;
  if (Buffered().empty()) {
    std::uint32_t got = 0;
    if (!ReadTransfer(0, &got)) return false;
  }
  const auto buffered = Buffered();
  *count = std::min(size, buffered.size());
  if (*count > 0) std::memcpy(buffer, buffered.data(), *count);
  Consume(*count);
  return true;
}

}  // namespace nolpa::serial_library
