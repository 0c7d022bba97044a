#pragma once
// Test doubles for the byte channel: a virtual clock and a device that plays
// back a script (bytes with arrival times, answers to given writes, a printer
// that never stops talking) and records everything it is sent. Header-only so
// that every test file can use it without a build change.
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/device_files.h"

namespace nolpa::testing {

using Bytes = std::vector<std::uint8_t>;

// Time moves only when someone sleeps, or when a test advances it.
class FakeClock : public platform::Clock {
 public:
  std::uint64_t NowMs() override { return now_; }
  void SleepMs(std::uint32_t ms) override { now_ += ms; }
  platform::LocalTime LocalNow() override { return {2024, 1, 1, 1, 0, 0, 0, 0}; }
  void Advance(std::uint64_t ms) { now_ += ms; }

 private:
  std::uint64_t now_ = 0;
};

struct IoRequest {
  platform::DeviceHandle handle;
  std::uint32_t code;
  Bytes input;
};

class ScriptedDevice : public platform::DeviceFiles {
 public:
  explicit ScriptedDevice(platform::Clock& clock) : clock_(clock) {}

  // --- script ---
  // `bytes` become readable, in order, once the clock reaches `atMs`.
  void Arrive(std::uint64_t atMs, const Bytes& bytes) {
    for (std::uint8_t b : bytes) {
      auto at =
          std::upper_bound(pending_.begin(), pending_.end(), atMs,
                           [](std::uint64_t t, const auto& entry) { return t < entry.first; });
      pending_.insert(at, {atMs, b});
    }
  }
  // Whenever a write carries exactly `request`, `reply` arrives `delayMs`
  // after it.
  void AnswerWrite(const Bytes& request, const Bytes& reply, std::uint64_t delayMs = 0) {
    answers_.push_back({request, reply, delayMs});
  }
  // From now on, one `byte` every `periodMs` (at least 1), for ever; scripted
  // bytes that are due go first.
  void Chatter(std::uint8_t byte, std::uint64_t periodMs) {
    chatter_ = byte;
    chatterPeriod_ = std::max<std::uint64_t>(periodMs, 1);
    nextChatter_ = clock_.NowMs();
  }
  // Write call number `index` (0-based) takes only `accepted` bytes.
  void LimitWrite(std::size_t index, std::uint32_t accepted) { writeLimits_[index] = accepted; }
  // The next `count` read calls fail without touching the script.
  void FailReads(int count) { failingReads_ = count; }
  // Control request number `index` (0-based) is refused.
  void FailIoControl(std::size_t index) { failingRequests_.insert(index); }

  // --- records ---
  std::vector<Bytes> writes;
  std::vector<IoRequest> requests;
  std::vector<platform::CommTimeouts> timeoutsSet;
  int readCalls = 0;

  // --- platform::DeviceFiles ---
  platform::DeviceHandle Open(const std::string&) override { return 7; }
  void Close(platform::DeviceHandle) override {}
  bool SetTimeouts(platform::DeviceHandle, const platform::CommTimeouts& timeouts) override {
    timeoutsSet.push_back(timeouts);
    return false;  // like a handle that is not a serial port
  }

  bool Read(platform::DeviceHandle, void* buffer, std::uint32_t size,
            std::uint32_t* done) override {
    ++readCalls;
    *done = 0;
    if (failingReads_ > 0) {
      --failingReads_;
      return false;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::uint64_t now = clock_.NowMs();
    while (*done < size && !pending_.empty() && pending_.front().first <= now) {
      out[(*done)++] = pending_.front().second;
      pending_.erase(pending_.begin());
    }
    if (*done < size && chatterPeriod_ != 0 && nextChatter_ <= now) {
      out[(*done)++] = chatter_;
      nextChatter_ += chatterPeriod_;
    }
    return true;
  }

  bool Write(platform::DeviceHandle, const void* data, std::uint32_t size,
             std::uint32_t* done) override {
    const auto* in = static_cast<const std::uint8_t*>(data);
    Bytes sent(in, in + size);
    auto limit = writeLimits_.find(writes.size());
    *done = limit == writeLimits_.end() ? size : std::min(size, limit->second);
    writes.push_back(sent);
    for (const Answer& answer : answers_) {
      if (answer.request == sent) Arrive(clock_.NowMs() + answer.delayMs, answer.reply);
    }
    return true;
  }

  bool IoControl(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                 std::uint32_t inSize, void*, std::uint32_t, std::uint32_t* returned) override {
    const auto* bytes = static_cast<const std::uint8_t*>(in);
    const bool refuse = failingRequests_.count(requests.size()) != 0;
    requests.push_back({handle, code, Bytes(bytes, bytes + inSize)});
    *returned = 0;
    return !refuse;
  }

  // How many answers are scripted for writes of exactly `request`.
  std::size_t Answers(const Bytes& request) const {
    return static_cast<std::size_t>(std::count_if(
        answers_.begin(), answers_.end(), [&](const Answer& a) { return a.request == request; }));
  }

  // Scripted bytes not yet read.
  std::size_t Unread() const { return pending_.size(); }

 private:
  struct Answer {
    Bytes request;
    Bytes reply;
    std::uint64_t delayMs;
  };

  platform::Clock& clock_;
  std::vector<std::pair<std::uint64_t, std::uint8_t>> pending_;
  std::vector<Answer> answers_;
  std::map<std::size_t, std::uint32_t> writeLimits_;
  std::set<std::size_t> failingRequests_;
  int failingReads_ = 0;
  std::uint8_t chatter_ = 0;
  std::uint64_t chatterPeriod_ = 0;
  std::uint64_t nextChatter_ = 0;
};

}  // namespace nolpa::testing
