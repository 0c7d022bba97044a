#include "sim/printers/reply_channel.h"

#include <algorithm>

namespace nolpa::sim {

void ReplyChannel::Push(std::uint64_t dueMs, std::uint8_t byte) {
  if (queue_.size() >= kCapacity) return;
  lastDueMs_ = std::max(lastDueMs_, dueMs);
  queue_.push_back({lastDueMs_, byte});
}

void ReplyChannel::InsertInTimeOrder(std::uint64_t dueMs, std::uint8_t byte) {
  if (queue_.size() >= kCapacity) return;
  auto at = std::upper_bound(queue_.begin(), queue_.end(), dueMs,
                             [](std::uint64_t t, const Entry& e) { return t < e.dueMs; });
  queue_.insert(at, {dueMs, byte});
  lastDueMs_ = std::max(lastDueMs_, dueMs);
}

void ReplyChannel::QueueReply(const std::vector<std::uint8_t>& reply, std::uint64_t nowMs,
                              const ChannelFaults& faults) {
  if (faults.silent || reply.empty()) return;
  std::uint64_t t = std::max(nowMs + faults.latencyMs, lastDueMs_);
  for (std::uint8_t b : faults.chatter) Push(t, b);
  const std::uint32_t every = std::max<std::uint32_t>(faults.flowControlEvery, 1);
  for (std::size_t i = 0; i < reply.size(); ++i) {
    if (i > 0) t += faults.byteGapMs;
    if (auto gap = faults.gapBeforeByte.find(static_cast<std::uint32_t>(i));
        gap != faults.gapBeforeByte.end())
      t += gap->second;
    Push(t, reply[i]);
    const bool last = i + 1 == reply.size();
    if (!last && (i + 1) % every == 0)
      for (std::uint8_t b : faults.flowControl) Push(t, b);
  }
}

void ReplyChannel::QueueTimed(const std::vector<TimedByte>& bytes, std::uint64_t nowMs) {
  std::uint64_t t = std::max(nowMs, lastDueMs_);
  for (const auto& tb : bytes) {
    t += tb.afterMs;
    Push(t, tb.byte);
  }
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
  while (n < size && !queue_.empty() && queue_.front().dueMs <= nowMs) {
    buffer[n++] = queue_.front().byte;
    queue_.pop_front();
  }
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
