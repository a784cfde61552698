// The days and hours a user worked in a range, and what the Labour Law pays
// for them: the one count behind `stats`, `stats --hours` and the totals of
// each roster row. It reads the resolved days (schedule/uRotaResolver.h),
// the duties' times (schedule/uTimedDuty.h) and the holiday table.
//
// Rules:
//   1. A duty's hours are its length: its duty kind's times, or the own
//      times of a 改班 or 加班. A rest duty kind has none. A duty kind without
//      a start has none either, as there is nothing to count it from; its
//      days still count, and Untimed says how many, so that a short total
//      shows why.
//   2. Hours belong to the calendar day they fall on: a duty is split at
//      midnight. The night shift of 30 September, 20:00 + 12 h, gives 4 h to
//      30 September and 8 h to 1 October, a statutory day. So a range counts
//      the hours of duties begun up to two days before it (a duty lasts at
//      most 48 h) and leaves out what runs past its last midnight. Days, by
//      contrast, count where a duty begins. Midnight is the wall clock's and
//      a length is elapsed time; mainland China keeps no summer time.
//   3. Each calendar day is one of three, after Article 44 of the Labour Law:
//        statutory  a 法定 holiday: paid at least 300 %;
//        rest day   a 休 day that is not statutory, or a Saturday or Sunday
//                   that is not 班: at least 200 %, or time off in lieu;
//        working    any other day, 班 days included: the hours beyond the
//                   standard day of 8 h (Article 36) are overtime at least
//                   150 %. A day's pieces are taken in the order they start,
//                   and the duty whose piece crosses the 8th hour is charged
//                   with what lies beyond it.
//   4. Under the comprehensive working-hours system (综合计算工时), usual for
//      rotating shifts, weekdays and weekends are alike and the period is
//      what counts: its standard is 20.83 days x 8 h = 166.64 h a month, pro
//      rata by days for part of a month, and the hours beyond it are overtime
//      at least 150 %. Statutory hours are paid 300 % on their own and are
//      left out of that comparison. Both accounts are given; which one
//      applies is the employer's approved working-hours system.
//   5. A day of leave counts as leave, under its kind, and not as work: the
//      duty it replaces gives no hours. An extra shift on such a day is work.
//   6. Lines: the day's own duty and each extra count a day under their duty
//      kind's name, in the order the names first occur, the days without a
//      duty under the empty name; a duty begun before the range that gives
//      it hours adds its line after those; the leave kinds come last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "schedule/uDutyTimes.h"
#include "schedule/uRotaResolver.h"

namespace kadrel {

class THolidayTable;

// 20.83 days x 8 h, in minutes.
inline constexpr double kStandardMonthMinutes = 20.83 * 8 * 60;
inline constexpr std::int32_t kStandardDayMinutes = 8 * 60;

struct THoursLine {
  std::string Name;  // GBK: a duty kind, a leave kind, or empty for no duty
  bool Leave = false;
  std::int32_t DutyID = 0;  // 0 for leave and for no duty
  long Days = 0;
  long StatutoryDays = 0;  // of Days: statutory holidays
  long OtherOffDays = 0;   // other 休 days
  long MakeUpDays = 0;     // 班 days
  long Untimed = 0;        // of Days: work without a start, so without hours
  std::int64_t Minutes = 0;
  std::int64_t StatutoryMinutes = 0;  // at least 300 %
  std::int64_t RestDayMinutes = 0;    // at least 200 % or time off
  std::int64_t OvertimeMinutes = 0;   // beyond 8 h on working days: at least 150 %
};

struct THours {
  std::vector<THoursLine> Lines;
  THoursLine Total;                         // the minutes and Untimed of every duty line
  long LeaveDays = 0;
  // Rule 4. Fractions of a minute, as 166.64 h a month is 9998.4 minutes.
  double StandardMinutes = 0;
  double BeyondStandardMinutes = 0;  // never negative
};

THours CountHours(const TRotaSnapshot& snapshot, std::size_t user, std::int64_t first, std::int64_t last,
                  const TDutyTimesMap& times, const THolidayTable& holidays);
// The same from days resolved already: those of first - kHoursReachBack to
// last, in order.
inline constexpr std::int64_t kHoursReachBack = 2;  // a duty lasts at most 48 h
THours CountResolvedHours(std::span<const TResolvedDay> days, std::int64_t first, std::int64_t last,
                          const TDutyTimesMap& times, const THolidayTable& holidays);

// The comprehensive system's standard for the days first..last, in minutes.
double StandardMinutes(std::int64_t first, std::int64_t last);

// Hours as a person writes them: "12", "7.5", "166.64" (two decimals at
// most, rounded, trailing zeros dropped).
std::string FormatHours(double minutes);

}  // namespace kadrel
