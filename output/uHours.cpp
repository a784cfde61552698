#include "output/uHours.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "calendar/uHoliday.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uTimedDuty.h"

namespace kadrel {
namespace {

constexpr std::int32_t kDayMinutes = 24 * 60;

enum class TDayClass { Working, Rest, Statutory };

TDayClass ClassOf(THolidayDay holiday, std::int64_t serial) {
  if (holiday.Statutory) return TDayClass::Statutory;
  if (holiday.Mark == THolidayMark::Off) return TDayClass::Rest;
  if (holiday.Mark == THolidayMark::Work) return TDayClass::Working;
  const int weekday = DayOfWeekSerial(serial);
  return weekday == 1 || weekday == 7 ? TDayClass::Rest : TDayClass::Working;
}

// A duty's share of one calendar day.
struct TPiece {
  std::int32_t From = 0;  // minute of the day
  std::int32_t Minutes = 0;
  std::size_t Line = 0;
};

class TCounter {
 public:
  TCounter(const THolidayTable& holidays, std::int64_t first, std::int64_t last)
      : holidays_(holidays), first_(first), pieces_(static_cast<std::size_t>(last - first + 1)) {}

  std::size_t LineOf(std::string_view name, bool leave, std::int32_t dutyId) {
    auto found = std::find_if(hours_.Lines.begin(), hours_.Lines.end(),
                              [&](const THoursLine& l) { return l.Leave == leave && l.Name == name; });
    if (found != hours_.Lines.end()) return static_cast<std::size_t>(found - hours_.Lines.begin());
    hours_.Lines.push_back({std::string(name), leave, leave ? 0 : dutyId});
    return hours_.Lines.size() - 1;
  }

  void CountDay(std::size_t line, std::int64_t serial) {
    THoursLine& l = hours_.Lines[line];
    const THolidayDay holiday = holidays_.At(serial);
    ++l.Days;
    l.StatutoryDays += holiday.Statutory;
    l.OtherOffDays += holiday.Mark == THolidayMark::Off && !holiday.Statutory;
    l.MakeUpDays += holiday.Mark == THolidayMark::Work;
  }

  void AddUntimed(std::size_t line) { ++hours_.Lines[line].Untimed; }

  // Splits a timed work duty at each midnight; only the pieces inside the
  // range are kept.
  void Split(const TTimedDuty& duty, std::size_t line) {
    std::int32_t from = duty.Start;
    std::int32_t left = duty.Length;
    for (std::int64_t day = duty.Day; left > 0; ++day, from = 0) {
      const std::int32_t minutes = std::min(left, kDayMinutes - from);
      left -= minutes;
      const std::int64_t index = day - first_;
      if (index >= 0 && index < static_cast<std::int64_t>(pieces_.size())) {
        pieces_[static_cast<std::size_t>(index)].push_back({from, minutes, line});
      }
    }
  }

  THours Finish(std::int64_t last) {
    for (std::size_t i = 0; i < pieces_.size(); ++i) AddDay(first_ + static_cast<std::int64_t>(i), pieces_[i]);
    std::stable_partition(hours_.Lines.begin(), hours_.Lines.end(), [](const THoursLine& l) { return !l.Leave; });
    THoursLine& total = hours_.Total;
    for (const THoursLine& l : hours_.Lines) {
      if (l.Leave) {
        hours_.LeaveDays += l.Days;
        continue;
      }
      total.Untimed += l.Untimed;
      total.Minutes += l.Minutes;
      total.StatutoryMinutes += l.StatutoryMinutes;
      total.RestDayMinutes += l.RestDayMinutes;
      total.OvertimeMinutes += l.OvertimeMinutes;
    }
    hours_.StandardMinutes = StandardMinutes(first_, last);
    hours_.BeyondStandardMinutes = std::max(
        0.0, static_cast<double>(total.Minutes - total.StatutoryMinutes) - hours_.StandardMinutes);
    return std::move(hours_);
  }

 private:
  void AddDay(std::int64_t serial, std::vector<TPiece>& pieces) {
    const TDayClass kind = ClassOf(holidays_.At(serial), serial);
    std::stable_sort(pieces.begin(), pieces.end(), [](const TPiece& a, const TPiece& b) { return a.From < b.From; });
    std::int32_t worked = 0;
    for (const TPiece& piece : pieces) {
      THoursLine& l = hours_.Lines[piece.Line];
      l.Minutes += piece.Minutes;
      if (kind == TDayClass::Statutory) l.StatutoryMinutes += piece.Minutes;
      if (kind == TDayClass::Rest) l.RestDayMinutes += piece.Minutes;
      if (kind == TDayClass::Working) {
        const std::int32_t before = std::max(0, kStandardDayMinutes - worked);
        l.OvertimeMinutes += std::max(0, piece.Minutes - before);
      }
      worked += piece.Minutes;
    }
  }

  const THolidayTable& holidays_;
  std::int64_t first_;
  std::vector<std::vector<TPiece>> pieces_;  // per day of the range
  THours hours_;
};

std::string LeaveName(const TResolvedDay& day) {
  static const std::string unnamed = GbkLiteral("请假");
  return day.Leave.empty() ? unnamed : std::string(day.Leave);
}

}  // namespace

THours CountHours(const TRotaSnapshot& snapshot, std::size_t user, std::int64_t first, std::int64_t last,
                  const TDutyTimesMap& times, const THolidayTable& holidays) {
  const auto days = snapshot.ResolveRange(user, static_cast<TDateTime>(first - kHoursReachBack),
                                          static_cast<TDateTime>(last));
  return CountResolvedHours(days, first, last, times, holidays);
}

THours CountResolvedHours(std::span<const TResolvedDay> days, std::int64_t first, std::int64_t last,
                          const TDutyTimesMap& times, const THolidayTable& holidays) {
  TCounter counter(holidays, first, std::max(first, last));
  // Days first, so that the lines stand in the order the range shows them.
  std::vector<std::vector<TTimedDuty>> duties;
  std::int64_t serial = first - kHoursReachBack;
  for (const TResolvedDay& day : days) {
    duties.push_back(DayDuties(day, serial, times));
    if (serial >= first) {
      const std::size_t own = day.Kind == TExceptionKind::Leave ? counter.LineOf(LeaveName(day), true, 0)
                                                                 : counter.LineOf(day.Duty.Name, false, day.Duty.ID);
      counter.CountDay(own, serial);
      for (const TExtraDuty& extra : day.Extras) {
        counter.CountDay(counter.LineOf(extra.Duty.Name, false, extra.Duty.ID), serial);
      }
    }
    ++serial;
  }
  for (const auto& ofDay : duties) {
    for (const TTimedDuty& duty : ofDay) {
      if (duty.Rest) continue;
      const std::size_t line = counter.LineOf(duty.Duty.Name, false, duty.Duty.ID);
      if (duty.Timed()) {
        counter.Split(duty, line);
      } else if (duty.Day >= first) {
        counter.AddUntimed(line);
      }
    }
  }
  return counter.Finish(last);
}

double StandardMinutes(std::int64_t first, std::int64_t last) {
  double minutes = 0;
  for (std::int64_t day = first; day <= last;) {
    const TYmd ymd = DecodeDate(day);
    const int length = DaysOfMonth(ymd.Year, ymd.Month);
    const std::int64_t monthEnd = day + (length - ymd.Day);
    const std::int64_t end = std::min(monthEnd, last);
    minutes += kStandardMonthMinutes * static_cast<double>(end - day + 1) / length;
    day = end + 1;
  }
  return minutes;
}

std::string FormatHours(double minutes) {
  const double hundredths = std::round(minutes / 60 * 100);
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", hundredths / 100);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

}  // namespace kadrel
