#pragma once
// The real clock: QueryPerformanceCounter (present on every Windows the
// program supports, unlike GetTickCount64), a pause that handles sent
// messages (responsive_wait.h) and GetLocalTime.
#include "platform/clock.h"

namespace nolpa::platform::win32 {

class Win32Clock final : public Clock {
 public:
  std::uint64_t NowMs() override;
  void SleepMs(std::uint32_t ms) override;
  LocalTime LocalNow() override;
};

}  // namespace nolpa::platform::win32
