#pragma once
// Time: a monotonic millisecond clock, a whole-second clock, sleeping, and
// local calendar time.
// The simulator's clock is virtual: Sleep advances it at once.
#include <cstdint>

namespace nolpa::platform {

// Local calendar time as GetLocalTime reports it.
struct LocalTime {
  int year;
  int month;      // 1 to 12
  int dayOfWeek;  // 0 = Sunday to 6 = Saturday
  int day;        // 1 to 31
  int hour;
  int minute;
  int second;
  int millisecond;
};

class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since an arbitrary start; never goes backwards.
  virtual std::uint64_t NowMs() = 0;

  // Whole seconds since an arbitrary start: the count moves on by one each
  // second, at a moment unrelated to any caller's request. Never goes
  // backwards: it comes from the monotonic clock, so a change of the system
  // time can neither stretch nor cut a wait timed with it. (A virtual clock
  // ticks at every whole thousand of its milliseconds.)
  virtual std::uint64_t NowSeconds() { return NowMs() / 1000; }

  // Blocks the calling thread (or, in the simulator, advances virtual time).
  virtual void SleepMs(std::uint32_t ms) = 0;

  // The local date and time (GetLocalTime).
  virtual LocalTime LocalNow() = 0;
};

}  // namespace nolpa::platform
