#pragma once
// A scripted printer for the packet engine: a ScriptedDevice that can also
// answer the n-th write of a request with the n-th of several replies (the
// parts of a reply that takes several credits), and that records a reply it
// was sent in answer to a transaction of its own.
#include <map>
#include <vector>

#include "tests/support/scripted_device.h"

namespace nolpa::testing {

class PacketPeer : public ScriptedDevice {
 public:
  explicit PacketPeer(platform::Clock& clock) : ScriptedDevice(clock), clock_(clock) {}

  // Write number k (0-based) of exactly `request` gets `replies[k]`, at
  // once; writes beyond the list get nothing.
  void AnswerInTurn(const Bytes& request, std::vector<Bytes> replies) {
    turns_[request] = {std::move(replies), 0};
  }

  // The first read after each write of exactly `request` fails (its reply
  // stays queued).
  void FailReadAfter(const Bytes& request) { failReadAfter_ = request; }
  // Write call number `index` (0-based) fails: nothing taken, nothing
  // answered.
  void FailWrite(std::size_t index) { failingWrites_[index] = true; }

  bool Write(platform::DeviceHandle handle, const void* data, std::uint32_t size,
             std::uint32_t* done) override {
    if (failingWrites_.count(writes.size()) != 0) {
      const auto* bytes = static_cast<const std::uint8_t*>(data);
      writes.emplace_back(bytes, bytes + size);
      *done = 0;
      return false;
    }
    const bool ok = ScriptedDevice::Write(handle, data, size, done);
    if (!failReadAfter_.empty() && writes.back() == failReadAfter_) FailReads(1);
    const auto it = turns_.find(writes.back());
    if (it != turns_.end() && it->second.next < it->second.replies.size())
      Arrive(clock_.NowMs(), it->second.replies[it->second.next++]);
    return ok;
  }

 private:
  struct Turns {
    std::vector<Bytes> replies;
    std::size_t next;
  };
  platform::Clock& clock_;
  std::map<Bytes, Turns> turns_;
  std::map<std::size_t, bool> failingWrites_;
  Bytes failReadAfter_;
};

}  // namespace nolpa::testing
