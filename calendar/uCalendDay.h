// The day record: one Gregorian day with its lunar names and solar term, the
// form in which the calendar grid, the hover text and the year documents
// take the Chinese calendar. Plain C++, so the documents can run headless.
#pragma once

#include <cstdint>
#include <string>

#include "calendar/uHoliday.h"

namespace kadrel {

struct TCalendKD {
  std::int32_t Year = 0;
  std::int32_t Month = 0;
  std::int32_t Day = 0;
  std::string Extra;      // left to the caller; FillDay never touches it
  std::string YearName;   // "甲辰龙年"
  std::string MonthName;  // "二月", "闰二月" for a leap month
  std::string DayName;    // "初一"
  std::string TermName;   // "立春", or empty
  // The day's place in the holiday arrangement (uHoliday.h).
  THolidayMark Mark = THolidayMark::None;
  std::string Festival = {};  // "春节" with a mark, else empty
  bool Statutory = false;     // a 法定节假日, always with the mark 休
};

// Fills the four names and the holiday fields from Year, Month, Day (GBK).
// A date outside 1901-01-01..2100-12-31, or one that does not exist, gets
// four empty names; one before 2000 no holiday mark.
void FillDay(TCalendKD& day);

// The hover text's holiday line, GBK: "节假日：春节（法定）", "节假日：国庆节"
// or "调休上班：国庆节"; empty for a day without a mark.
std::string HolidayText(const TCalendKD& day);

// 31 for months 1, 3, 5, 7, 8, 10, 12 and 30 for 4, 6, 9, 11. Any other
// month number is counted as February: 29 in a leap year, else 28.
int DaysInMonth(int year, int month);

// 1 (Sunday) to 7 (Saturday).
int DayOfWeekOf(int year, int month, int day);

}  // namespace kadrel
