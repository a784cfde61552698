#include "calendar/uCalendDay.h"

#include "calendar/uCalend.h"
#include "platform/uDateTime.h"

namespace kadrel {

void FillDay(TCalendKD& day) {
  int lunarYear = 0, lunarMonth = 0, lunarDay = 0;
  bool isLeap = false;
  SolarToLunar(day.Year, day.Month, day.Day, lunarYear, lunarMonth, isLeap, lunarDay);
  if (lunarYear == 0) {
    day.YearName.clear();
    day.MonthName.clear();
    day.DayName.clear();
    day.TermName.clear();
    return;
  }
  // Assigning into the record's own strings reuses their storage, so a grid
  // that refills one record per cell does not allocate.
  day.YearName = GetGanzhiYearName(lunarYear);
  day.MonthName = isLeap ? GetLeapMonthName(lunarMonth) : GetLunarMonthName(lunarMonth);
  day.DayName = GetLunarDayName(lunarDay);
  day.TermName = GetSolarTermName(static_cast<TDateTime>(EncodeDate(day.Year, day.Month, day.Day)));
}

int DaysInMonth(int year, int month) {
  if (month == 2 || month < 1 || month > 12) return IsLeapYear(year) ? 29 : 28;
  return DaysOfMonth(year, month);
}

int DayOfWeekOf(int year, int month, int day) { return DayOfWeekSerial(EncodeDate(year, month, day)); }

}  // namespace kadrel
