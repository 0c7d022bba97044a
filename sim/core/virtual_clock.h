#pragma once
// A clock for native tests: time moves only when the code under test sleeps
// or the test advances it, so multi-second waits run at once and elapsed
// virtual time can still be asserted.
#include <cstdint>

#include "platform/clock.h"

namespace nolpa::sim {

class VirtualClock : public platform::Clock {
 public:
  // Starts at 0 ms, with the calendar at Monday 2027-03-01 09:00:00.000.
  VirtualClock() = default;

  std::uint64_t NowMs() override { return nowMs_; }

  // Advances virtual time by `ms` at once; nothing real is waited for.
  void SleepMs(std::uint32_t ms) override;

  // The calendar moment set by SetLocalTime, moved on by the virtual time
  // passed since; the day of the week is derived from the date.
  platform::LocalTime LocalNow() override;

  // Moves virtual time on without counting as a sleep.
  void Advance(std::uint64_t ms) { nowMs_ += ms; }

  // Makes the current virtual moment read as this local date and time
  // (month 1 to 12, day 1 to 31, hour 0 to 23). Fields out of range are
  // normalised (second 60 is the next minute's 0).
  void SetLocalTime(int year, int month, int day, int hour, int minute, int second,
                    int millisecond);

  // Sleeps seen so far: how many calls, and their total.
  std::uint64_t SleepCalls() const { return sleepCalls_; }
  std::uint64_t SleptMs() const { return sleptMs_; }

 private:
  std::uint64_t nowMs_ = 0;
  std::uint64_t sleepCalls_ = 0;
  std::uint64_t sleptMs_ = 0;
  // Milliseconds since 1970-01-01 00:00 local time at virtual time 0.
  std::int64_t calendarBaseMs_ = 1803891600000;  // 2027-03-01 09:00:00.000
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);

}  // namespace nolpa::sim
