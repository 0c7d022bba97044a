#pragma once
// CPortIO: the packet engine's raw device I/O. Whole-packet writes and polled
// reads on one device handle, with the pauses spent on the platform clock.
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

class CPortIO {
 public:
  // Borrows all three; the caller opened `handle` and closes it after the
  // engine is gone.
  CPortIO(platform::DeviceFiles& files, platform::Clock& clock,
          platform::DeviceHandle handle);

  // One write call with every byte. A failed call or a short write is a
  // failure (the rest is not sent: half a packet cannot be completed safely).
  bool WriteAll(std::span<const std::uint8_t> bytes);
  // True once a write sent part of its bytes: the printer then holds the
  // start of a packet, and whatever is written next would be read as its
  // rest, so nothing more may be written on this handle.
  bool FramingLost() const { return framingLost_; }

  // Fills `buffer` completely, asking the device each time for no more than
  // is still missing, so nothing beyond the packet being read is taken off
  // the wire. A read that finds nothing uses one of `*emptyReadsLeft` and,
  // when any are left, is followed by a pause of `pauseMs`; when none are
  // left the read times out. A failed read call ends the read at once.
  ReadOutcome ReadExactly(std::span<std::uint8_t> buffer, int* emptyReadsLeft,
                          std::uint32_t pauseMs);

  platform::Clock& clock() const { return clock_; }

 private:
  platform::DeviceFiles& files_;
  platform::Clock& clock_;
  platform::DeviceHandle handle_;
  bool framingLost_ = false;
};

}  // namespace nolpa::serial_library
