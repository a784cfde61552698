#include <gtest/gtest.h>

#include "platform/uClock.h"
#include "platform/uDateTime.h"

namespace kadrel {
namespace {

TEST(DateTime, KnownSerials) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(2003, 1, 6), 37627);
  EXPECT_EQ(EncodeDate(2003, 5, 1), 37742);
  EXPECT_EQ(EncodeDate(1901, 1, 1), 367);
  EXPECT_EQ(DecodeDate(37627), (TYmd{2003, 1, 6}));
}

TEST(DateTime, EveryDayFrom1899To2101RoundTripsAndAdvancesTheWeekday) {
  std::int64_t first = EncodeDate(1899, 12, 30), last = EncodeDate(2101, 1, 1);
  TYmd prev = DecodeDate(first - 1);
  for (std::int64_t s = first; s <= last; ++s) {
    TYmd d = DecodeDate(s);
    ASSERT_EQ(EncodeDate(d.Year, d.Month, d.Day), s);
    bool nextDay = d.Year == prev.Year && d.Month == prev.Month && d.Day == prev.Day + 1;
    bool nextMonth = d.Day == 1 && prev.Day == DaysOfMonth(prev.Year, prev.Month);
    ASSERT_TRUE(nextDay || nextMonth) << FormatIsoDate(s);
    ASSERT_EQ(DayOfWeekSerial(s) % 7, (DayOfWeekSerial(s - 1) + 1) % 7);
    prev = d;
  }
}

TEST(DateTime, Weekdays) {
  EXPECT_EQ(DayOfWeekSerial(EncodeDate(2026, 2, 1)), 1);  // Sunday
  EXPECT_EQ(DayOfWeekSerial(EncodeDate(2026, 8, 1)), 7);  // Saturday
  EXPECT_EQ(DayOfWeekSerial(0), 7);
  EXPECT_EQ(DayOfWeekSerial(-1), 6);
}

TEST(DateTime, LeapYears) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_EQ(DaysOfMonth(2000, 2), 29);
  EXPECT_EQ(DaysOfMonth(1900, 2), 28);
  EXPECT_EQ(DaysOfMonth(2026, 13), 0);
}

TEST(DateTime, IsoParsingIsStrict) {
  EXPECT_EQ(ParseIsoDate("2003-05-01"), EncodeDate(2003, 5, 1));
  EXPECT_FALSE(ParseIsoDate("2003-02-29"));
  EXPECT_FALSE(ParseIsoDate("2003-5-01"));
  EXPECT_FALSE(ParseIsoDate("2003-13-01"));
  EXPECT_FALSE(ParseIsoDate("20a3-01-01"));
  EXPECT_EQ(FormatIsoDate(EncodeDate(1900, 1, 2)), "1900-01-02");
}

TEST(DateTime, WholeDaysDropsTheTimeOfDayAndSurvivesNonsense) {
  EXPECT_EQ(WholeDays(37627.75), 37627);
  EXPECT_EQ(WholeDays(0.0 / 0.0), 0);
  EXPECT_EQ(WholeDays(1e300), static_cast<std::int64_t>(1e12));
}

TEST(Clock, OverrideFixesTodayAndRestores) {
  {
    TClockOverride fixed([] { return 37742.5; });
    EXPECT_EQ(Today(), 37742.0);
    EXPECT_EQ(Now(), 37742.5);
  }
  EXPECT_GT(Today(), 40000.0);
}

}  // namespace
}  // namespace kadrel
