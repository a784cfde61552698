// What the options dialog's users page shows of the schedule files, as
// plain C++ over the records layer, so that the page stays thin and the
// listings are tested without a window. Texts are GBK; the dialog converts
// at its edge. Every change goes through TScheduleRecords.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uDateTime.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uScheduleRecords.h"

namespace kadrel {

// One row of the users list. The row keeps its slot so that it acts on its
// own record; the list is rebuilt after every change to the users file, so
// a Pack never leaves a row pointing at another user.
struct TUserRow {
  std::int32_t Slot = 0;
  std::string Name;
  std::string SchemeName;  // empty when the scheme is not found
  // The start's time of day, followed directly by the duty name at the
  // user's place, or by nothing; empty when the scheme is not found.
  std::string StartText;
};

// Every live user in slot order. The scheme is looked up as references find
// it (deleted slots included), and the duty is read from the raw cycle text
// at place "FirstID" (SchemePlaceId).
std::vector<TUserRow> ReadUserRows(TScheduleRecords& records);

// The time of day of `t` as "H:mm:ss" (a day's fraction, as its absolute
// value for dates before 1899-12-30).
std::string LongTimeText(TDateTime t);

// The duty-kind identifier at place `place` of a stored cycle: -1 when
// "Count" is below the place, the place is negative, or the entry there is
// not a number.
std::int32_t SchemePlaceId(const TStoredCycle& cycle, std::int32_t place);

// The names the users page lists for scheme `id`, in cycle order: an entry
// whose duty kind is missing is left out, one that is not a number reads
// "没有找到". Empty when no scheme has that "ID".
std::vector<std::string> SchemeCycleNames(TScheduleRecords& records, std::int32_t id);

// One assignment a user followed, for the history of the user's schemes.
struct TSchemeSpan {
  std::optional<std::int64_t> From;  // its first day; none: every day before Until
  std::optional<std::int64_t> Until;  // its last day; none: it holds from From on
  std::int32_t ShiftID = 0;
  std::string SchemeName;  // GBK; empty when no scheme has ShiftID
};

// The user's assignments in the order they held: those the rotation history
// keeps, then the one userdat.kd2 holds. Spans a later change superseded
// whole are left out.
std::vector<TSchemeSpan> ReadSchemeSpans(TScheduleRecords& records, TRotaRecords& rota, std::string_view user);

}  // namespace kadrel
