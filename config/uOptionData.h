// What the options dialog reads from and writes to the three schedule files,
// as plain C++ so that the pages stay thin and the rules are tested without
// a window. Texts are GBK; the dialog converts at its edge.
//
// Every writer checks all it will store before it calls Append or Edit,
// because a table in insert or edit state has no way back but Post: a
// refused change writes nothing. Faults are those of store/uScheduleFiles.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uDateTime.h"
#include "store/uScheduleFiles.h"
#include "store/uTableStream.h"

namespace kadrel {

// --- Reading ---------------------------------------------------------------

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

// Every live user in slot order. The scheme is looked up as the duty lookup
// does (deleted slots included), and the duty is read from the raw cycle
// text at place "FirstID" (SchemePlaceId). Moves the cursors of all three.
std::vector<TUserRow> ReadUserRows(TTableStream& users, TTableStream& shift, TTableStream& work);

// The time of day of `t` as "H:mm:ss" (a day's fraction, as its absolute
// value for dates before 1899-12-30).
std::string LongTimeText(TDateTime t);

// The duty-kind identifier at place `place` of the raw cycle text of the
// scheme on which `shift` stands: -1 when "Count" is below the place, the
// place is negative, or the entry there is not a number.
std::int32_t SchemePlaceId(TTableStream& shift, std::int32_t place);

// The names the users page lists for scheme `id`, in cycle order: an entry
// whose duty kind is missing is left out, one that is not a number reads
// "没有找到". Empty when no scheme has that "ID".
std::vector<std::string> SchemeCycleNames(TTableStream& shift, TTableStream& work, std::int32_t id);

struct TSchemeInfo {
  std::int32_t ID = 0;
  std::string Name;
  std::vector<TResolvedEntry> Entries;  // only when read with the duty kinds
};

// Every live scheme in slot order; with `work`, each with the entries of its
// cycle whose duty kind exists (first match by "ID", non-numbers skipped).
std::vector<TSchemeInfo> ReadSchemes(TTableStream& shift, TTableStream* work);

struct TDutyKindInfo {
  std::int32_t ID = 0;
  std::string Name;
  std::string Hint;
};

// Every live duty kind in slot order.
std::vector<TDutyKindInfo> ReadDutyKinds(TTableStream& work);

// Puts the cursor on `slot` (1-based); false when there is no such slot or
// it is deleted.
bool SeekLiveSlot(TTableStream& table, std::int32_t slot);

// --- Checking --------------------------------------------------------------

// A name kept exactly as typed, blanks at the ends included: its trimmed text
// must pass CheckNameText (EmptyName unless `mayBeEmpty`), and the typed
// text as a whole must fit the field and hold no control byte.
bool CheckTypedName(std::string_view typed, bool mayBeEmpty, TEditError& error);

// A live user other than the one in `exceptSlot` whose name equals `name`
// (A..Z case ignored, blanks at the ends of `name` ignored).
bool OtherUserHasName(TTableStream& users, std::string_view name, std::int32_t exceptSlot);

// --- Writing ---------------------------------------------------------------

struct TUserRecord {
  std::string Name;  // as typed
  std::int32_t ShiftID = 0;
  TDateTime Start = 0;
  std::int32_t FirstID = 0;
};

// Appends the user when `slot` is 0, else rewrites the live user in `slot`.
// Only the name is checked: the dialog stores the scheme fields as chosen.
bool WriteUser(TTableStream& users, std::int32_t slot, const TUserRecord& user, TEditError& error);

// Deletes the live user in `slot` when `remove` is set; in any case packs.
bool DeleteUserThenPack(TTableStream& users, std::int32_t slot, bool remove, TEditError& error);

// Rewrites "Name" and "Hint" of the duty kind `id` (checked and trimmed as
// AddDutyKind does); its "ID" stays.
bool UpdateDutyKind(TTableStream& work, std::int32_t id, std::string_view name, std::string_view hint,
                    TEditError& error);

// Deletes the duty kind `id`, then packs.
bool DeleteDutyKindById(TTableStream& work, std::int32_t id, TEditError& error);

// Writes a scheme with `name` as typed (it may be empty) and the cycle `ids`.
// When `id` is 0 a new scheme is appended and `id` receives its "ID";
// otherwise the live scheme `id` is rewritten. The identifiers are written
// as given, whether or not their duty kinds still exist.
bool WriteScheme(TTableStream& shift, std::int32_t& id, std::string_view name,
                 const std::vector<std::int32_t>& ids, TEditError& error);

}  // namespace kadrel
