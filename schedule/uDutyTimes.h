// The times of a duty kind (timedat.kd2, rules 1 to 5 of
// schedule/uTimeFiles.h): the texts a person types for them, their checks,
// and the one way they are read and changed. Each change is one call that
// does every write of it, so that whoever owns the table can make it one
// commit; every check comes before the first write.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "schedule/uScheduleRecords.h"
#include "schedule/uTimeFiles.h"
#include "store/uTableStream.h"

namespace kadrel {

struct TDutyTimes {
  std::int32_t DutyID = 0;
  std::int32_t Start = -1;  // minute of the day; -1: all day
  std::int32_t Length = 0;  // minutes; 0 without a start
  bool Rest = false;
  std::int32_t Color = kNoColor;  // 0xRRGGBB
  std::int32_t Remind = -1;       // minutes before the start; -1: none

  bool Timed() const { return Start >= 0; }
  // All day, work, no colour, no reminder: what no record means.
  bool IsDefault() const { return !Timed() && !Rest && Color == kNoColor && Remind < 0; }
  friend bool operator==(const TDutyTimes&, const TDutyTimes&) = default;
};

// --- Checks and texts --------------------------------------------------------

// The ranges and pairings of rules 2 to 5; the duty kind is not looked at.
bool CheckDutyTimes(const TDutyTimes& times, TTimesError& error);
// An exception's own times (excdat.kd2 "Start" and "Length"): both given
// (0..1439 and 1..kMaxDutyMinutes) or neither (-1 and 0).
bool CheckOwnTimes(std::int32_t start, std::int32_t length, TTimesError& error);

// "20:00" or "8:05": the minute of the day; 24:00 and later are refused.
std::optional<std::int32_t> ParseClock(std::string_view text, TTimesError& error);
// A length in minutes, 1..kMaxDutyMinutes.
std::optional<std::int32_t> ParseLength(std::string_view text, TTimesError& error);
// Minutes before the start, 0..kMaxRemindMinutes.
std::optional<std::int32_t> ParseRemind(std::string_view text, TTimesError& error);
// "#RRGGBB", either case, as 0xRRGGBB.
std::optional<std::int32_t> ParseColor(std::string_view text, TTimesError& error);

// "20:00", "#1E90FF".
std::string FormatClock(std::int32_t minute);
std::string FormatColor(std::int32_t color);
// The end of a duty as the options dialog shows it, in GBK: "16:00" the same
// day, "08:00 次日" the next, "08:00 第三日" the day after (a duty may last
// two days). Plain clock arithmetic: on the day the clocks change, the real
// end is an hour off, as the duty's own day shows it (uTimedDuty.h).
std::string DutyEndText(std::int32_t start, std::int32_t length);

// --- Reading -------------------------------------------------------------------

// Every live record of an open table, in slot order, each as rules 2 to 5
// read it (values out of range count as not given); the first of several
// records of one duty kind. None when the table is not open.
std::vector<TDutyTimes> ReadDutyTimes(TTableStream& times);

// The times of every duty kind, read once: what a snapshot of the folder
// keeps beside the resolver.
class TDutyTimesMap {
 public:
  TDutyTimesMap() = default;
  explicit TDutyTimesMap(std::span<const TDutyTimes> records);
  // The duty kind's times; the defaults, with that ID, when it has none.
  TDutyTimes Of(std::int32_t dutyId) const;
  bool Empty() const { return byId_.empty(); }
  // The most minutes before a start any duty kind is reminded: how far
  // ahead a search for reminders must look. -1 when none has a reminder.
  std::int32_t LongestRemind() const { return longestRemind_; }

 private:
  std::unordered_map<std::int32_t, TDutyTimes> byId_;
  std::int32_t longestRemind_ = -1;
};

// --- Changing ------------------------------------------------------------------

// Stores `times` for the live duty kind times.DutyID after CheckDutyTimes;
// the defaults remove the record. `table` must be open for writing.
bool SetDutyTimes(TTableStream& table, TScheduleRecords& schedule, const TDutyTimes& times, TTimesError& error);
// Removes the duty kind's record, if any: with `clear-times`, and in the
// same change as the deletion of the duty kind. A table that is not open
// (its file does not exist) has nothing to remove.
bool ClearDutyTimes(TTableStream& table, std::int32_t dutyId, TTimesError& error);

}  // namespace kadrel
