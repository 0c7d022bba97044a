#include "platform/win32/win32_clock.h"

#include <windows.h>

#include "platform/win32/responsive_wait.h"

namespace nolpa::platform::win32 {

std::uint64_t Win32Clock::NowMs() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
  const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
  // Split to keep ticks * 1000 from overflowing.
  return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

// A pause on the user-interface thread (the emptying of a channel, the
// spooler's polls, the rescans of a command-line set) still answers the
// messages other programs send to the window.
void Win32Clock::SleepMs(std::uint32_t ms) { WaitResponsively(nullptr, ms); }

LocalTime Win32Clock::LocalNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                   t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
}

}  // namespace nolpa::platform::win32
