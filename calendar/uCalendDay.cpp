#include "calendar/uCalendDay.h"

#include "calendar/uCalend.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"

namespace kadrel {

void FillDay(TCalendKD& day) {
  const TCalendDate c = AssignCalendNames(day.Year, day.Month, day.Day, day.YearName, day.MonthName, day.DayName,
                                          day.TermName);
  const THolidayTable& holidays = Holidays();
  const THolidayDay holiday = c.LunarYear != 0 ? holidays.At(kFirstCalendSerial + c.Offset) : THolidayDay{};
  day.Mark = holiday.Mark;
  if (holiday.Festival == 0)
    day.Festival.clear();
  else
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
