#pragma once
// The one deadline of an exported call. A printer may answer slowly, in
// many pieces, or never stop talking; whatever it does, the call ends by
// this deadline on the clock: a session's deadline (session_deadline.h),
// the same for every session of the call. The library serves one call at a
// time, so the deadline in force is a plain process-wide value.
#include <cstdint>

#include "platform/clock.h"
#include "serial_library/engine/session_deadline.h"

namespace nolpa::morvalib {

// How long the work of one exported call may take, and how long its
// closing may take after that: one session's.
inline constexpr std::uint32_t kCallWorkMs = serial_library::kSessionWorkMs;
inline constexpr std::uint32_t kCallClosingMs = serial_library::kSessionClosingMs;

using CallDeadline = serial_library::SessionDeadline;

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
