#include "sim/core/virtual_clock.h"

namespace nolpa::sim {
namespace {
constexpr std::int64_t kMsPerDay = 86'400'000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}
}  // namespace

// Howard Hinnant's civil-calendar algorithms: exact for every Gregorian date.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = FloorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = FloorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

void VirtualClock::SleepMs(std::uint32_t ms) {
  nowMs_ += ms;
  sleptMs_ += ms;
  ++sleepCalls_;
}

void VirtualClock::SetLocalTime(int year, int month, int day, int hour, int minute, int second,
                                int millisecond) {
  // Months outside 1..12 roll into neighbouring years before the day count.
  const int monthIndex = month - 1;
  const int yearCarry = static_cast<int>(FloorDiv(monthIndex, 12));
  const std::int64_t days =
      DaysFromCivil(year + yearCarry, monthIndex - yearCarry * 12 + 1, 1) + (day - 1);
  const std::int64_t ms =
      days * kMsPerDay + hour * 3'600'000LL + minute * 60'000LL + second * 1'000LL + millisecond;
  calendarBaseMs_ = ms - static_cast<std::int64_t>(nowMs_);
}

platform::LocalTime VirtualClock::LocalNow() {
  const std::int64_t ms = calendarBaseMs_ + static_cast<std::int64_t>(nowMs_);
  const std::int64_t days = FloorDiv(ms, kMsPerDay);
  const std::int64_t inDay = ms - days * kMsPerDay;
  platform::LocalTime t{};
  CivilFromDays(days, t.year, t.month, t.day);
  // 1970-01-01 was a Thursday (4).
  t.dayOfWeek = static_cast<int>(((days % 7) + 11) % 7);
  t.hour = static_cast<int>(inDay / 3'600'000);
  t.minute = static_cast<int>(inDay / 60'000 % 60);
  t.second = static_cast<int>(inDay / 1'000 % 60);
  t.millisecond = static_cast<int>(inDay % 1'000);
  return t;
}

}  // namespace nolpa::sim
