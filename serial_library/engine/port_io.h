#pragma once
// CPortIO: the packet engine's raw device I/O. Whole-packet writes, and
// reads of whole USB transfers into a buffer of the engine's own, from which
// the packet reader cuts packets. A bulk endpoint hands the host whole
// transfers: a read that asks for fewer bytes than a transfer holds
// overruns and loses them, so no read here asks for less than
// kTransferBufferSize.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/clock.h"
#include "platform/device_files.h"

namespace nolpa::serial_library {

enum class ReadOutcome {
  Done,      // bytes arrived
  TimedOut,  // the wait ended first
  Failed,    // a read call failed
};

// Write calls in a row that may take nothing before a write gives up.
inline constexpr int kStalledWrites = 3;
// What every read asks for: at least the largest transfer a printer sends
// (a multiple of the 64- and 512-byte USB packet sizes, and of the 512-byte
// packets the engine asks the printer for).
inline constexpr std::uint32_t kTransferBufferSize = 4096;

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

  // Bytes that arrived and were not consumed yet.
  std::span<const std::uint8_t> Buffered() const { return std::span(buffered_).subspan(consumed_); }
  // Drops the first `count` buffered bytes (all of them at most).
  void Consume(std::size_t count);

  // Reads one whole transfer onto the end of the buffer, waiting for it
  // until the clock reaches `untilMs` (a device that cannot wait is asked
  // again after a pause of `pauseMs`). With `untilMs` now or past, it reads
  // once without waiting. A failed read call ends it at once.
  ReadOutcome Fill(std::uint64_t untilMs, std::uint32_t pauseMs);

  // Drops what is buffered and what the device holds now, at most `limit`
  // bytes read, without a pause: it ends at the first read that finds
  // nothing (or fails). Returns the count read and dropped.
  std::size_t ReadAway(std::size_t limit);

  // For the plain data path: hands out buffered bytes first; with none
  // buffered, one read of a whole transfer that does not wait. False when
  // the read call failed; `*count` receives what was copied.
  bool ReadAvailable(std::uint8_t* buffer, std::size_t size, std::size_t* count);

  // Every byte the reads brought in (the read-away's included).
  std::uint64_t BytesRead() const { return bytesRead_; }

  platform::Clock& clock() const { return clock_; }

 private:
  // One read call of a whole transfer, waiting up to `waitMs`; appends what
  // came. False when the call failed or reported more than it was asked.
  bool ReadTransfer(std::uint32_t waitMs, std::uint32_t* got);

  platform::DeviceFiles& files_;
  platform::Clock& clock_;
  platform::DeviceHandle handle_;
  bool framingLost_ = false;
  // What arrived; its first `consumed_` bytes are gone (dropped in one go
  // now and then, not byte by byte).
  std::vector<std::uint8_t> buffered_;
  std::size_t consumed_ = 0;
  std::vector<std::uint8_t> transfer_;
  std::uint64_t bytesRead_ = 0;
};

}  // namespace nolpa::serial_library
