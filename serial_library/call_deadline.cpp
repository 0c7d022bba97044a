#include "serial_library/call_deadline.h"

#include <optional>

namespace nolpa::morvalib {

namespace {
std::optional<CallDeadline>& Current() {
  static std::optional<CallDeadline> deadline;
  return deadline;
}
}  // namespace

CallDeadlineScope::CallDeadlineScope(platform::Clock* clock) {
  if (clock == nullptr || Current()) return;
  Current() = serial_library::SessionDeadlineFrom(clock->NowMs());
  set_ = true;
}

CallDeadlineScope::~CallDeadlineScope() {
  if (set_) Current().reset();
}

CallDeadline CurrentCallDeadline(platform::Clock& clock) {
  return Current() ? *Current() : serial_library::SessionDeadlineFrom(clock.NowMs());
}

}  // namespace nolpa::morvalib
