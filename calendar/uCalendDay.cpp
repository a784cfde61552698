#include "calendar/uCalendDay.h"

#include "calendar/uCalend.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"

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
    day.Mark = THolidayMark::None;
    day.Festival.clear();
    day.Statutory = false;
    return;
  }
  // Assigning into the record's own strings reuses their storage, so a grid
  // that refills one record per cell does not allocate.
  day.YearName = GetGanzhiYearName(lunarYear);
  day.MonthName = isLeap ? GetLeapMonthName(lunarMonth) : GetLunarMonthName(lunarMonth);
  day.DayName = GetLunarDayName(lunarDay);
  const std::int64_t serial = EncodeDate(day.Year, day.Month, day.Day);
  day.TermName = GetSolarTermName(static_cast<TDateTime>(serial));
  const THolidayTable& holidays = Holidays();
  const THolidayDay holiday = holidays.At(serial);
  day.Mark = holiday.Mark;
  day.Festival = holidays.FestivalName(holiday.Festival);
  day.Statutory = holiday.Statutory;
}

std::string HolidayText(const TCalendKD& day) {
  static const std::string off = GbkLiteral("节假日："), work = GbkLiteral("调休上班："),
                           statutory = GbkLiteral("（法定）");
  if (day.Mark == THolidayMark::None) return {};
  std::string text = day.Mark == THolidayMark::Work ? work : off;
  text += day.Festival;
  if (day.Statutory) text += statutory;
  return text;
}

int DaysInMonth(int year, int month) { return DaysOfMonth(year, month >= 1 && month <= 12 ? month : 2); }

int DayOfWeekOf(int year, int month, int day) { return DayOfWeekSerial(EncodeDate(year, month, day)); }

}  // namespace kadrel
