#pragma once
// The one deadline of an exported call. A printer may answer slowly, in
// many pieces, or never stop talking; whatever it does, the call ends by
// this deadline on the clock. Its work (every wait for the printer) ends at
// `workEndMs`; what closes the conversation (the channel's close, Exit) may
// still go out and be awaited until `endMs`. The library serves one call at
// a time, so the deadline in force is a plain process-wide value.
#include <cstdint>

#include "platform/clock.h"

namespace nolpa::morvalib {

// How long the work of one exported call may take, and how long its
// closing may take after that.
inline constexpr std::uint32_t kCallWorkMs = 20000;
inline constexpr std::uint32_t kCallClosingMs = 1000;

struct CallDeadline {
  std::uint64_t workEndMs = 0;
  std::uint64_t endMs = 0;
};

// A deadline for a call that starts at `nowMs`.
inline CallDeadline DeadlineFrom(std::uint64_t nowMs) {
  return {nowMs + kCallWorkMs, nowMs + kCallWorkMs + kCallClosingMs};
}

// For the length of an exported call: sets the deadline from `clock`'s now
// (nothing without a clock), unless an outer scope set one.
class CallDeadlineScope {
 public:
  explicit CallDeadlineScope(platform::Clock* clock);
  ~CallDeadlineScope();
  CallDeadlineScope(const CallDeadlineScope&) = delete;
  CallDeadlineScope& operator=(const CallDeadlineScope&) = delete;

 private:
  bool set_ = false;
};

// The deadline of the call under way; outside any (a test driving a port
// directly), one that starts now.
CallDeadline CurrentCallDeadline(platform::Clock& clock);

}  // namespace nolpa::morvalib
