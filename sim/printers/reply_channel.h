#pragma once
// The printer-to-host half of a byte channel: reply bytes wait in order,
// each with the virtual time it reaches the host, and a read takes only the
// bytes whose time has come. Reads never wait. Each reply (each call that
// queues bytes) is one message, which a USB printer sends as one bulk
// transfer: packets of the endpoint's size, the last one short (or followed
// by a zero-length packet).
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

  // What one read of a bulk IN endpoint with packets of `packetSize` bytes
  // got: `count` bytes of whole packets whose every byte is due, up to the
  // end of a transfer or of the buffer. A packet larger than the room left
  // overran the read: `overrun` holds its size, the read fails, and its bytes
  // and those the read took before it are lost.
  struct Transfer {
    std::uint32_t count = 0;
    std::uint32_t overrun = 0;
  };
  Transfer TakeTransfer(std::uint64_t nowMs, std::uint8_t* buffer, std::uint32_t size,
                        std::uint16_t packetSize, const ChannelFaults& faults);

  // A read that got nothing was cancelled: the next message, when its first
  // byte falls due within `windowMs` after `nowMs`, was already on its way
  // and is lost with the read. Returns the bytes lost.
  std::size_t LoseInFlight(std::uint64_t nowMs, std::uint32_t windowMs);

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
    bool endsMessage;
  };
  bool Push(std::uint64_t dueMs, std::uint8_t byte);
  void EndMessage(bool pushed);
  void InsertInTimeOrder(std::uint64_t dueMs, std::uint8_t byte);
  void AddHeartbeats(std::uint64_t nowMs, const ChannelFaults& faults);
  // Takes `n` bytes off the front, copying them to `to` when given.
  void PopFront(std::size_t n, std::uint8_t* to);
  // The length of the packet at the front: up to the end of its message or
  // of the packet size, counted from the start of the message.
  std::size_t NextPacket(std::uint16_t packetSize) const;

  std::deque<Entry> queue_;
  std::size_t messageOffset_ = 0;  // bytes already taken of the front message
  std::uint64_t lastDueMs_ = 0;
  std::optional<std::uint64_t> nextBeatMs_;
};

}  // namespace nolpa::sim
