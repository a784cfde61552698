// Every day from 1901-01-01 to 2100-12-31 must follow from the one before:
// the lunar day goes up by one, or a new lunar month begins after 29 or 30
// days; the names agree with the numbers; the weekday turns over; each
// Gregorian month has exactly its two solar terms.
#include <gtest/gtest.h>

#include "CalendTestUtil.h"
#include "calendar/uCalend.h"
#include "calendar/uCalendDay.h"

namespace kadrel {
namespace {

using test::Utf8;

struct TLunar {
  int Year = 0, Month = 0, Day = 0;
  bool Leap = false;
};

TLunar LunarOf(const TYmd& ymd) {
  TLunar l;
  SolarToLunar(ymd.Year, ymd.Month, ymd.Day, l.Year, l.Month, l.Leap, l.Day);
  return l;
}

// The month that follows (year, month, leap): the leap month after its
// namesake, else the next number, else the next year's first month.
TLunar NextMonth(const TLunar& l) {
  if (!l.Leap && GetLeapMonth(l.Year) == l.Month) return {l.Year, l.Month, 1, true};
  if (l.Month == 12) return {l.Year + 1, 1, 1, false};
  return {l.Year, l.Month + 1, 1, false};
}

std::string Text(const TLunar& l) {
  return std::to_string(l.Year) + "/" + (l.Leap ? "L" : "") + std::to_string(l.Month) + "/" + std::to_string(l.Day);
}

int LengthOf(int year, int month, bool leap) {
  const std::uint32_t packed = GetLunarMonthDays(year, month);
  return static_cast<int>(leap ? packed >> 16 : packed & 0xFFFF);
}

TEST(CalendarWalk, EveryDayFollowsFromTheOneBefore) {
  const std::int64_t first = EncodeDate(1901, 1, 1), last = EncodeDate(kLastCalendYear, 12, 31);
  TLunar prev = LunarOf(DecodeDate(first));
  ASSERT_EQ(Text(prev), "1900/11/11");
  int prevWeekday = DayOfWeekOf(1901, 1, 1);
  int lunarYearDays = 0;
  TCalendKD kd;
  for (std::int64_t s = first + 1; s <= last; ++s) {
    const TYmd ymd = DecodeDate(s);
    const TLunar l = LunarOf(ymd);
    const std::string where = FormatIsoDate(s) + " after " + Text(prev) + ": " + Text(l);
    if (l.Day == 1) {
      // 1900's months are not in the tables: month 11 has 29 days, 12 has 30.
      const int expected = prev.Year == 1900 ? (prev.Month == 11 ? 29 : 30) : LengthOf(prev.Year, prev.Month, prev.Leap);
      ASSERT_EQ(prev.Day, expected) << where;
      ASSERT_TRUE(prev.Day == 29 || prev.Day == 30) << where;
      ASSERT_EQ(Text(l), Text(NextMonth(prev))) << where;
    } else {
      ASSERT_EQ(Text(l), Text({prev.Year, prev.Month, prev.Day + 1, prev.Leap})) << where;
    }
    if (l.Year != prev.Year) {
      if (prev.Year > 1900) {
        ASSERT_EQ(lunarYearDays, GetLunarYearDays(prev.Year)) << where;
      }
      lunarYearDays = 0;
    }
    ++lunarYearDays;

    const int weekday = DayOfWeekOf(ymd.Year, ymd.Month, ymd.Day);
    ASSERT_EQ(weekday, prevWeekday % 7 + 1) << where;
    ASSERT_LE(ymd.Day, DaysInMonth(ymd.Year, ymd.Month)) << where;

    kd.Year = ymd.Year;
    kd.Month = ymd.Month;
    kd.Day = ymd.Day;
    FillDay(kd);
    ASSERT_EQ(kd.YearName, GetGanzhiYearName(l.Year)) << where;
    ASSERT_EQ(kd.MonthName, l.Leap ? GetLeapMonthName(l.Month) : GetLunarMonthName(l.Month)) << where;
    ASSERT_EQ(kd.DayName, GetLunarDayName(l.Day)) << where;
    ASSERT_FALSE(kd.DayName.empty()) << where;
    // The way back, which the holidays take to find their lunar days.
    ASSERT_EQ(LunarToDayOffset(l.Year, l.Month, l.Leap, l.Day), l.Year == 1900 ? -1 : static_cast<int>(s - first))
        << where;

    prev = l;
    prevWeekday = weekday;
  }
  EXPECT_EQ(Text(prev), "2100/12/1");
}

TEST(CalendarWalk, EachMonthHasItsTwoTerms) {
  for (int year = kFirstCalendYear; year <= kLastCalendYear; ++year) {
    for (int month = 1; month <= 12; ++month) {
      std::string found;
      for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        const int index = GetSolarTermIndex(year, month, day);
        if (index == 0) continue;
        found += std::to_string(index) + (day < 15 ? "<15 " : ">15 ");
        ASSERT_EQ(GetSolarTermDay(year, index), day);
        TCalendKD kd{year, month, day, {}, {}, {}, {}, {}};
        FillDay(kd);
        ASSERT_EQ(kd.TermName.size(), 4u) << Utf8(kd.TermName);
      }
      EXPECT_EQ(found, std::to_string(2 * month - 1) + "<15 " + std::to_string(2 * month) + ">15 ")
          << year << "-" << month;
    }
  }
}

}  // namespace
}  // namespace kadrel
