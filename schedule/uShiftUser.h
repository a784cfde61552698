// TShiftUser: one user resolved for duty lookups.
//
// Loading reads the user's scheme and duty kinds once, so that a lookup is a
// subtraction, one 64-bit floored remainder and an array index, with no table
// access: a month list, a tooltip on every mouse move or a year of printout
// costs one remainder per day.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uDateTime.h"
#include "schedule/uScheduleRecords.h"

namespace kadrel {

// A plain record, copied by value wherever it is handed on.
struct TShiftUser {
  std::string Name;  // GBK, at most 10 bytes
  std::int32_t ShiftID = 0;
  // Entries in the resolved cycle; 0 or less means the user has no cycle.
  std::int32_t Count = -1;
  // After loading: a date on which cycle place 0 falls. A time-of-day
  // fraction of the stored start is carried along and ignored.
  TDateTime Start = 0;
  // Place of the duty on Start; always 0 after loading.
  std::int32_t FirstID = 0;
  // The cycle as duty-kind names (GBK), in cycle order; holds exactly Count
  // entries after loading (none when there is no cycle).
  std::vector<std::string> worklist;
};

// Fills `user` from the user record `record`, reading its scheme and duty
// kinds through `records`. The outcome shows in Count: no scheme with the
// user's "ShiftID" (as references find it), a scheme "Count" of 0 or less,
// no "worklist" entry naming a live duty kind, or a start that is not a
// finite date all leave the user without a cycle (Count -1).
//
// Tokens of "worklist" that are not decimal integers are skipped like those
// naming a missing duty kind; resolvable tokens beyond the scheme's "Count"
// are ignored.
void LoadShiftUser(TShiftUser& user, TScheduleRecords& records, const TUserRecord& record);
// The same for the first live user called `name` (as LocateText matches);
// false, with `user` emptied, when there is none.
bool LoadShiftUser(TShiftUser& user, TScheduleRecords& records, std::string_view name);

// The duty on the whole date `date`: true with `name` set when the user has a
// cycle, false with `name` untouched otherwise (also for a date that is not
// finite). Any fraction of `date` is dropped first.
bool GetDutyName(const TShiftUser& user, TDateTime date, std::string& name);

}  // namespace kadrel
