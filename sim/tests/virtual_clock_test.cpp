#include "sim/core/virtual_clock.h"

#include <gtest/gtest.h>

namespace nolpa::sim {
namespace {

void ExpectTime(const platform::LocalTime& t, int year, int month, int day, int dayOfWeek, int hour,
                int minute, int second, int millisecond) {
  EXPECT_EQ(t.year, year);
  EXPECT_EQ(t.month, month);
  EXPECT_EQ(t.day, day);
  EXPECT_EQ(t.dayOfWeek, dayOfWeek);
  EXPECT_EQ(t.hour, hour);
  EXPECT_EQ(t.minute, minute);
  EXPECT_EQ(t.second, second);
  EXPECT_EQ(t.millisecond, millisecond);
}

TEST(SimVirtualClockTest, SleepAdvancesAtOnceAndIsCounted) {
  VirtualClock clock;
  EXPECT_EQ(clock.NowMs(), 0u);
  clock.SleepMs(2000);
  clock.SleepMs(1);
  clock.Advance(5);
  EXPECT_EQ(clock.NowMs(), 2006u);
  EXPECT_EQ(clock.SleepCalls(), 2u);
  EXPECT_EQ(clock.SleptMs(), 2001u);
}

TEST(SimVirtualClockTest, CalendarStartsOnAMondayMorning) {
  VirtualClock clock;
  ExpectTime(clock.LocalNow(), 2027, 3, 1, 1, 9, 0, 0, 0);
}

TEST(SimVirtualClockTest, CalendarMovesWithVirtualTime) {
  VirtualClock clock;
  clock.Advance(12345);
  clock.SetLocalTime(2027, 3, 1, 9, 5, 3, 7);
  ExpectTime(clock.LocalNow(), 2027, 3, 1, 1, 9, 5, 3, 7);
  clock.SleepMs(86'400'000 + 993);
  ExpectTime(clock.LocalNow(), 2027, 3, 2, 2, 9, 5, 4, 0);
}

TEST(SimVirtualClockTest, CalendarCrossesLeapDaysAndYears) {
  VirtualClock clock;
  clock.SetLocalTime(2028, 2, 28, 23, 59, 59, 999);
  clock.Advance(1);
  ExpectTime(clock.LocalNow(), 2028, 2, 29, 2, 0, 0, 0, 0);
  clock.SetLocalTime(2100, 2, 28, 12, 0, 0, 0);  // 2100 is no leap year
  clock.Advance(86'400'000);
  ExpectTime(clock.LocalNow(), 2100, 3, 1, 1, 12, 0, 0, 0);
  clock.SetLocalTime(1999, 12, 31, 23, 59, 59, 500);
  clock.Advance(500);
  ExpectTime(clock.LocalNow(), 2000, 1, 1, 6, 0, 0, 0, 0);
}

TEST(SimVirtualClockTest, OutOfRangeFieldsAreNormalised) {
  VirtualClock clock;
  clock.SetLocalTime(2026, 13, 1, 0, 0, 60, 0);
  ExpectTime(clock.LocalNow(), 2027, 1, 1, 5, 0, 1, 0, 0);
}

}  // namespace
}  // namespace nolpa::sim
