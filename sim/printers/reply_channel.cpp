#include "sim/printers/reply_channel.h"

#include <algorithm>

namespace nolpa::sim {

bool ReplyChannel::Push(std::uint64_t dueMs, std::uint8_t byte) {
  if (queue_.size() >= kCapacity) return false;
  lastDueMs_ = std::max(lastDueMs_, dueMs);
  queue_.push_back({lastDueMs_, byte, false});
  return true;
}

// The last byte queued ends the message just queued (when any of it fitted).
void ReplyChannel::EndMessage(bool pushed) {
  if (pushed && !queue_.empty()) queue_.back().endsMessage = true;
}

// A byte of its own, such as a heartbeat: a message of one byte.
void ReplyChannel::InsertInTimeOrder(std::uint64_t dueMs, std::uint8_t byte) {
  if (queue_.size() >= kCapacity) return;
  auto at = std::upper_bound(queue_.begin(), queue_.end(), dueMs,
                             [](std::uint64_t t, const Entry& e) { return t < e.dueMs; });
  queue_.insert(at, {dueMs, byte, true});
  lastDueMs_ = std::max(lastDueMs_, dueMs);
}

void ReplyChannel::QueueReply(const std::vector<std::uint8_t>& reply, std::uint64_t nowMs,
                              const ChannelFaults& faults) {
  if (faults.silent || reply.empty()) return;
  std::uint64_t t = std::max(nowMs + faults.latencyMs, lastDueMs_);
  bool pushed = false;
  for (std::uint8_t b : faults.chatter) pushed |= Push(t, b);
  const std::uint32_t every = std::max<std::uint32_t>(faults.flowControlEvery, 1);
  for (std::size_t i = 0; i < reply.size(); ++i) {
    if (i > 0) t += faults.byteGapMs;
    if (auto gap = faults.gapBeforeByte.find(static_cast<std::uint32_t>(i));
        gap != faults.gapBeforeByte.end())
      t += gap->second;
    pushed |= Push(t, reply[i]);
    const bool last = i + 1 == reply.size();
    if (!last && (i + 1) % every == 0)
      for (std::uint8_t b : faults.flowControl) Push(t, b);
  }
  EndMessage(pushed);
}

void ReplyChannel::QueueTimed(const std::vector<TimedByte>& bytes, std::uint64_t nowMs) {
  std::uint64_t t = std::max(nowMs, lastDueMs_);
  bool pushed = false;
  for (const auto& tb : bytes) {
    t += tb.afterMs;
    pushed |= Push(t, tb.byte);
  }
  EndMessage(pushed);
}

void ReplyChannel::AddHeartbeats(std::uint64_t nowMs, const ChannelFaults& faults) {
  if (!faults.heartbeat || faults.heartbeat->periodMs == 0) {
    nextBeatMs_.reset();
    return;
  }
  const Heartbeat& beat = *faults.heartbeat;
  if (!nextBeatMs_) nextBeatMs_ = nowMs + beat.periodMs;
  while (*nextBeatMs_ <= nowMs) {
    InsertInTimeOrder(*nextBeatMs_, beat.byte);
    *nextBeatMs_ += beat.periodMs;
  }
}

std::uint32_t ReplyChannel::Take(std::uint64_t nowMs, std::uint8_t* buffer, std::uint32_t size,
                                 const ChannelFaults& faults) {
  AddHeartbeats(nowMs, faults);
  std::uint32_t n = 0;
  while (n < size && n < queue_.size() && queue_[n].dueMs <= nowMs) ++n;
  PopFront(n, buffer);
  return n;
}

void ReplyChannel::PopFront(std::size_t n, std::uint8_t* to) {
  for (std::size_t i = 0; i < n; ++i) {
    const Entry& e = queue_.front();
    if (to) to[i] = e.byte;
    messageOffset_ = e.endsMessage ? 0 : messageOffset_ + 1;
    queue_.pop_front();
  }
}

std::size_t ReplyChannel::NextPacket(std::uint16_t packetSize) const {
  const std::size_t room = packetSize - messageOffset_ % packetSize;
  std::size_t n = 0;
  while (n < room && n < queue_.size())
    if (queue_[n++].endsMessage) break;
  return n;
}

ReplyChannel::Transfer ReplyChannel::TakeTransfer(std::uint64_t nowMs, std::uint8_t* buffer,
                                                  std::uint32_t size, std::uint16_t packetSize,
                                                  const ChannelFaults& faults) {
  AddHeartbeats(nowMs, faults);
  Transfer got;
  if (size == 0 || packetSize == 0) return got;
  for (;;) {
    const std::size_t packet = NextPacket(packetSize);
    // A packet leaves the printer whole, once its last byte is there.
    if (packet == 0 || queue_[packet - 1].dueMs > nowMs) return got;
    if (packet > size - got.count) {
      PopFront(packet, nullptr);
      return {0, static_cast<std::uint32_t>(packet)};
    }
    const bool endsTransfer = queue_[packet - 1].endsMessage;
    PopFront(packet, buffer + got.count);
    got.count += static_cast<std::uint32_t>(packet);
    if (endsTransfer || got.count == size) return got;
  }
}

std::size_t ReplyChannel::LoseInFlight(std::uint64_t nowMs, std::uint32_t windowMs) {
  if (queue_.empty() || queue_.front().dueMs > nowMs + windowMs) return 0;
  std::size_t n = 0;
  while (n < queue_.size())
    if (queue_[n++].endsMessage) break;
  PopFront(n, nullptr);
  return n;
}

std::optional<std::uint64_t> ReplyChannel::NextDueMs(std::uint64_t nowMs,
                                                     const ChannelFaults& faults) {
  AddHeartbeats(nowMs, faults);
  std::optional<std::uint64_t> next = nextBeatMs_;
  if (!queue_.empty()) next = std::min(next.value_or(queue_.front().dueMs), queue_.front().dueMs);
  return next;
}

void ReplyChannel::Clear() {
  queue_.clear();
  messageOffset_ = 0;
  nextBeatMs_.reset();
}

std::size_t ReplyChannel::PendingDue(std::uint64_t nowMs) const {
  std::size_t n = 0;
  for (const auto& e : queue_) {
    if (e.dueMs > nowMs) break;
    ++n;
  }
  return n;
}

}  // namespace nolpa::sim
