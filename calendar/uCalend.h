// The Chinese calendar for Gregorian dates 1901-01-01 to 2100-12-31: lunar
// dates with their Chinese names, and the 24 solar terms.
//
// Everything works from three constant tables (uCalend.cpp), checked against
// an astronomical calendar by the tests (tests/data/lunar):
//
//   table             size         one entry per             meaning
//   LunarMonthBits    200 x u32    lunar year 1901..2100     month lengths
//   LeapMonthNibbles  100 x u8     lunar year, 4 bits each   leap month or 0
//   SolarTermDays    2400 x u8     Gregorian month           two term days
//
// LunarMonthBits: only the low 16 bits are used. Month m owns bit 16 - m, a
// leap month owns the bit after its regular namesake and pushes the later
// months one bit down; a set bit is a month of 30 days, a clear one 29.
// LeapMonthNibbles: year k = Y - 1901 is in byte k / 2, high nibble when k
// is even. SolarTermDays: byte 12 * (Y - 1901) + (M - 1); the high nibble h
// puts term 2M - 1 on day 15 - h, the low nibble l puts term 2M on 15 + l.
//
// A lunar date is (year, month 1..12, leap flag, day 1..30); the lunar year
// is the Gregorian year in which it begins. Lunar year 0 means "no lunar
// date": the answer for every date outside the range above.
//
// All functions are pure and safe from any thread. Names are GBK text built
// once; the references stay valid for the life of the program.
#pragma once

#include <cstdint>
#include <string>

#include "platform/uDateTime.h"

namespace kadrel {

inline constexpr int kFirstCalendYear = 1901;
inline constexpr int kLastCalendYear = 2100;

// Day offsets count from 1901-01-01 (offset 0), serial day 367; the last
// day in range is 2100-12-31.
inline constexpr std::int64_t kFirstCalendSerial = 367;
inline constexpr int kLastCalendOffset = 73048;

// 0 (no leap month) or the month 1..12 the leap month follows. 0 for years
// outside the tables.
int GetLeapMonth(int year);

// Days of regular month `month` (29 or 30) in the low 16 bits; in the high
// 16 bits the days of the leap month when `month` is the year's leap month,
// else 0. Years outside the tables give (30, 0); a month outside 1..12 in
// a year of the tables gives (0, 0).
std::uint32_t GetLunarMonthDays(int year, int month);

// Sum of the month lengths of GetLunarMonthDays over months 1..12.
int GetLunarYearDays(int year);

// The lunar date of day `offset` after 1901-01-01. Offsets outside
// 0..kLastCalendOffset give the "no lunar date" answer (0, 0, false, 0).
void DayOffsetToLunar(int offset, int& lunarYear, int& lunarMonth, bool& isLeap, int& lunarDay);

// The day offset of a lunar date, the inverse of DayOffsetToLunar: -1 for a
// date the tables do not hold (a year outside 1901..2100, lunar 1900's last
// days included; a leap month the year lacks; a day past its month's end or
// past 2100-12-31).
int LunarToDayOffset(int lunarYear, int lunarMonth, bool isLeap, int lunarDay);

// A Gregorian date's place in the calendar, in one look: the day offset,
// the lunar date and the term (GetSolarTermIndex). A date outside
// 1901-01-01..2100-12-31, or one that does not exist, gives Offset -1 and
// zeros.
struct TCalendDate {
  int Offset = -1;
  int LunarYear = 0, LunarMonth = 0, LunarDay = 0;
  bool Leap = false;
  int Term = 0;
};
TCalendDate CalendDateOf(int year, int month, int day);

// CalendDateOf with the four names of the date assigned into the caller's
// strings (GetGanzhiYearName, the month's name with 闰 for a leap month,
// GetLunarDayName, the term's name), all empty for a date outside the
// calendar. Assigning keeps the strings' storage, so the day record of a
// grid refilled for every cell does not allocate.
TCalendDate AssignCalendNames(int year, int month, int day, std::string& yearName, std::string& monthName,
                              std::string& dayName, std::string& termName);

// The lunar date of a Gregorian date. Dates outside 1901-01-01..2100-12-31,
// and dates that do not exist (2023-02-29, month 13), give (0, 0, false, 0).
void SolarToLunar(int year, int month, int day, int& lunarYear, int& lunarMonth, bool& isLeap,
                  int& lunarDay);

// Stem, branch and animal of a lunar year with "年", such as "甲辰龙年".
// The sixty-year cycle has no end, so every year has a name.
const std::string& GetGanzhiYearName(int year);

// "正月" .. "十二月"; empty outside 1..12.
const std::string& GetLunarMonthName(int month);

// "闰" and the month's name: "闰二月"; empty outside 1..12.
const std::string& GetLeapMonthName(int month);

// "初一" .. "三十"; empty outside 1..30.
const std::string& GetLunarDayName(int day);

// 1..24 for the term that falls on the Gregorian date, 0 for none; 0 for
// every date outside 1901..2100.
int GetSolarTermIndex(int year, int month, int day);

// The day of the month on which term `index` (1..24) falls in `year`, in
// month (index + 1) / 2; 0 outside the tables.
int GetSolarTermDay(int year, int index);

// The name of term `index`; empty for 0 and anything outside 1..24.
const std::string& GetSolarTermNameOf(int index);

// The name of the term on the date part of `date`, or empty text.
const std::string& GetSolarTermName(TDateTime date);

}  // namespace kadrel
