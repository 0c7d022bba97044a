#pragma once
// CPortIO: the packet engine's raw device I/O. Whole-packet writes and polled
// reads on one device handle, with the pauses spent on the platform clock.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/clock.h"
#include "platform/device_files.h"

namespace nolpa::serial_library {

enum class ReadOutcome {
  Done,      // every byte asked for arrived
  TimedOut,  // the empty-read budget ran out first
  Failed,    // a read call failed
};

// Write calls in a row that may take nothing before a write gives up.
inline constexpr int kStalledWrites = 3;

// Writes `bytes` with as many calls as it takes: a call that takes part of
// them is followed by one for the rest, so the printer never holds the start
// of a packet whose end never comes. Stops at a failed call (its bytes are
// not sent again: they may have reached the device), or after
// kStalledWrites calls in a row that took nothing. `*sent` receives the
// count taken; true when it is all of them.
bool WriteWhole(platform::DeviceFiles& files, platform::DeviceHandle handle,
                std::span<const std::uint8_t> bytes, std::size_t* sent);

class CPortIO {
 public:
  // Borrows all three; the caller opened `handle` and closes it after the
  // engine is gone.
  CPortIO(platform::DeviceFiles& files, platform::Clock& clock, platform::DeviceHandle handle);

  // Every byte, by WriteWhole. False when not all were taken.
  bool WriteAll(std::span<const std::uint8_t> bytes);
  // True once a write sent part of its bytes and the rest could not follow:
  // the printer then holds the start of a packet, and whatever is written
  // next would be read as its rest, so nothing more may be written on this
  // handle.
  bool FramingLost() const { return framingLost_; }

  // Fills `buffer` completely, asking the device each time for no more than
  // is still missing, so nothing beyond the packet being read is taken off
  // the wire. A read that finds nothing uses one of `*emptyReadsLeft` and,
  // when any are left, is followed by a pause of `pauseMs`; when none are
  // left the read times out. A failed read call ends the read at once.
  ReadOutcome ReadExactly(std::span<std::uint8_t> buffer, int* emptyReadsLeft,
                          std::uint32_t pauseMs);

  // Reads and drops what the device holds now, at most `limit` bytes,
  // without a pause: it ends at the first read that finds nothing (or
  // fails). Returns the count dropped.
  std::size_t ReadAway(std::size_t limit);

  platform::Clock& clock() const { return clock_; }

 private:
  platform::DeviceFiles& files_;
  platform::Clock& clock_;
  platform::DeviceHandle handle_;
  bool framingLost_ = false;
};

}  // namespace nolpa::serial_library
