// A resolved day's duties with their hours: what the month list, the tray,
// `next`, the reminders and the iCalendar file show of a day.
//
// A day has its own duty (the rotation's, or what a 改班 or 换班 made of
// it) and the duties its 加班 add, in that order. Each takes its duty kind's
// times (schedule/uDutyTimes.h), except that a 改班 or 加班 with times of
// its own (both a start and a length) takes those, while rest, colour and
// reminder stay the duty kind's. A duty belongs to the day it starts on:
// 20:00 + 720 on 30 September is a duty of 30 September that ends on
// 1 October. Its end is its start plus its length in elapsed time, so on
// the night the clocks go back a duty of 20:00 + 720 ends at 07:00.
// A duty without a start lasts its whole day, from midnight to midnight.
//
// A duty's name points into the snapshot its day was resolved from, as the
// resolved day's texts do: keep the snapshot while the duty is in use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/uTimeZone.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uScheduleFiles.h"

namespace kadrel {

// A folder's duty times and the zone they are wall-clock times of, read
// once, for whatever shows a user's days with their hours.
struct TFolderTimes {
  TDutyTimesMap Times;
  TTimeZone Zone = TTimeZone::Shanghai();
};
// From the folder's open tables; an absent times or settings file reads as
// none, which shows every duty all day.
TFolderTimes ReadFolderTimes(TScheduleTables& tables);

struct TTimedDuty {
  TDutyRef Duty;
  std::int32_t ExtraID = 0;  // 0: the day's own duty; else the 加班 that adds it
  std::int64_t Day = 0;      // the serial day it belongs to: the day it starts
  std::int32_t Start = -1;   // minute of Day on the wall clock; -1: all day
  std::int32_t Length = 0;   // minutes
  bool OwnTimes = false;     // the exception's own times, not the duty kind's
  bool Rest = false;
  std::int32_t Color = kNoColor;
  std::int32_t Remind = -1;  // minutes before the start; never for an all-day duty

  bool Timed() const { return Start >= 0; }
};

// The duties of `day`, the resolved day of serial day `serialDay`.
std::vector<TTimedDuty> DayDuties(const TResolvedDay& day, std::int64_t serialDay, const TDutyTimesMap& times);

// Where a duty lies in time, in a zone.
struct TDutySpan {
  TUtcTime Begin;
  TUtcTime End;
  TWallTime BeginWall;  // the start as the zone's clocks show it
  TWallTime EndWall;
};
TDutySpan PlaceDuty(const TTimedDuty& duty, const TTimeZone& zone);

// PlaceDuty for many duties, each conversion made once: the duties of a
// month, or of a folder's day, have a handful of distinct starts. The zone
// must outlive it.
class TDutyPlacer {
 public:
  explicit TDutyPlacer(const TTimeZone& zone) : zone_(zone) {}
  TDutySpan Place(const TTimedDuty& duty);

 private:
  const TTimeZone& zone_;
  std::unordered_map<std::int64_t, std::int64_t> toUtc_;   // wall seconds -> UTC seconds
  std::unordered_map<std::int64_t, std::int64_t> toWall_;  // UTC seconds -> wall seconds
};

// The duty text of the month list, in GBK: DayDutyText with each timed
// duty's start after its name, "夜班 20:00" or "白班 08:00+夜班 20:00".
// Exactly DayDutyText when no duty of the day has a start.
std::string DayDutyTimesText(const TResolvedDay& day, std::int64_t serialDay, const TDutyTimesMap& times);

struct TNextDuty {
  TTimedDuty Duty;
  TDutySpan Span;
};
// The user's first duty that starts at `now` or later, within a year; an
// all-day duty starts at its day's midnight. Rest duties are passed over
// unless `withRest`.
std::optional<TNextDuty> NextDuty(const TRotaSnapshot& snapshot, std::size_t user, const TDutyTimesMap& times,
                                  const TTimeZone& zone, TUtcTime now, bool withRest = false);

}  // namespace kadrel
