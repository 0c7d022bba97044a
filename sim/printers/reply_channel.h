#pragma once
// The printer-to-host half of a byte channel: reply bytes wait in order,
// each with the virtual time it reaches the host, and a read takes only the
// bytes whose time has come. Reads never wait.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/core/faults.h"

namespace nolpa::sim {

// One byte of a scripted output, `afterMs` after the byte before it.
struct TimedByte {
  std::uint32_t afterMs = 0;
  std::uint8_t byte = 0;
};

class ReplyChannel {
 public:
  // Most bytes held back; a printer that is never read stops adding more.
  static constexpr std::size_t kCapacity = 65536;

  // Queues one reply as the channel faults shape it: chatter ahead of it,
  // flow-control bytes inside it, latency before it and gaps between its
  // bytes. A reply never overtakes bytes queued before it. A silent channel
  // drops it.
  void QueueReply(const std::vector<std::uint8_t>& reply, std::uint64_t nowMs,
                  const ChannelFaults& faults);

  // Queues bytes exactly as scripted; the first comes `afterMs` after now
  // (or after the last byte already queued, whichever is later).
  void QueueTimed(const std::vector<TimedByte>& bytes, std::uint64_t nowMs);

  // Moves at most `size` due bytes into `buffer`; returns how many. Adds the
  // heartbeat bytes that fell due since the last call.
  std::uint32_t Take(std::uint64_t nowMs, std::uint8_t* buffer, std::uint32_t size,
                     const ChannelFaults& faults);

  // A new handle reads from here: the heartbeat starts again on its first read.
  void RestartHeartbeat() { nextBeatMs_.reset(); }

  // Drops every waiting byte (the printer was unplugged).
  void Clear();

  std::size_t Pending() const { return queue_.size(); }
  // When the next byte is due (a heartbeat's included); nothing when none
  // will come.
  std::optional<std::uint64_t> NextDueMs(std::uint64_t nowMs, const ChannelFaults& faults);
  // Bytes already due at `nowMs`.
  std::size_t PendingDue(std::uint64_t nowMs) const;

 private:
  struct Entry {
    std::uint64_t dueMs;
    std::uint8_t byte;
  };
  void Push(std::uint64_t dueMs, std::uint8_t byte);
  void InsertInTimeOrder(std::uint64_t dueMs, std::uint8_t byte);
  void AddHeartbeats(std::uint64_t nowMs, const ChannelFaults& faults);

  std::deque<Entry> queue_;
  std::uint64_t lastDueMs_ = 0;
  std::optional<std::uint64_t> nextBeatMs_;
};

}  // namespace nolpa::sim
