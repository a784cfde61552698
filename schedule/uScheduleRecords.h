// TScheduleRecords: the schedule files as records, and the one way Kadrel
// changes them. The options dialog, kadrel-cli and the main window all read
// and write users, rotation schemes and duty kinds through it; nothing else
// touches a record's fields or calls a table's Append, Edit, Post, Delete or
// Pack. It works on tables opened and closed by the data folder
// (schedule/uScheduleFolder.h), so the journal and the writer's lock of the
// table stream hold for every change.
//
// Rules of every save, all checked before anything is written (a table in
// insert or edit state has no way back but Post, so a refused change writes
// nothing):
//   1. A change or deletion acts on a live record only.
//   2. Names are stored as the write policy says (below). The stored text
//      must fit its field (9 bytes), be valid GBK and hold no control byte,
//      and its trimmed form must not be empty - except a scheme's name kept
//      as typed, which may be empty. Descriptions are always stored trimmed
//      (49 bytes; CR LF allowed); a cycle takes at most 199 bytes of text.
//   3. No two live users have names that are equal once both are trimmed,
//      A..Z compared without case.
//   4. A user's start is a date of the years 1 to 9999.
//   5. A user's "ShiftID" is 0 only while no live scheme exists, and its
//      "FirstID" is then 0; -1 (the chosen scheme was not found) goes with a
//      "FirstID" of -1; any other "ShiftID" names a live scheme, and
//      "FirstID" is a place of that scheme's cycle as the duty computation
//      resolves it (0 when the cycle is empty).
//   6. Every ID of a cycle names a live duty kind (the write policy allows
//      the dialog one exception, below).
//   7. New "ID"s are the appended count + 1 (NextId), never reused.
//   8. Deleting a duty kind or a user packs its file; deleting a scheme does
//      not, so references keep finding the scheme until its slot is reused.
// A change of a user checks rules 4 and 5 only for what it changes: a start,
// or a "ShiftID" and "FirstID", written back as stored stay as they were, so
// a record read and saved again with only a new name keeps every other byte
// (a user of a deleted scheme keeps it that way, and only that way).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uDateTime.h"
#include "schedule/uScheduleFiles.h"
#include "store/uTableStream.h"

namespace kadrel {

// Texts are GBK, as stored.
struct TDutyKindRecord {
  std::int32_t ID = 0;  // 0 until saved; saving it appends the record
  std::string Name;
  std::string Hint;
};

struct TSchemeRecord {
  std::int32_t ID = 0;  // 0 until saved; saving it appends the record
  std::string Name;
  // Duty-kind IDs in cycle order. Read from a file: its entries that are
  // numbers (see StoredCycle for a damaged cycle as it stands).
  std::vector<std::int32_t> Cycle;
};

// Users have no identifier; a record read from the file knows its slot, so
// that a change or deletion acts on that very record.
struct TUserRecord {
  std::int32_t Slot = 0;  // 0 until saved; saving it appends the record
  std::string Name;
  std::int32_t ShiftID = 0;  // 0: no scheme existed; -1: the chosen scheme was not found
  TDateTime Start = 0;
  std::int32_t FirstID = 0;  // 0-based place in the resolved cycle on Start
};

// The cycle of a scheme as its text stands: "Count" as stored and every
// "#"-terminated entry, nullopt where one is not a number.
struct TStoredCycle {
  std::int32_t Count = 0;
  std::vector<std::optional<std::int32_t>> Entries;
};

// The one difference between the front ends: how names are stored. Every
// other rule holds for both, with the one exception of rule 6 that AsTyped
// describes.
enum class TWritePolicy {
  // The options dialog. User and scheme names as typed, blanks at the ends
  // kept (a scheme's name may then be blank). A cycle may hold a duty kind
  // deleted after the editor listed it, that is an ID the duty-kinds file
  // has handed out (1 to its appended count): a person may delete a duty
  // kind on the other tab while building a cycle with it, and the cycle is
  // saved as built. That writes nothing a file does not hold already: the
  // schemes saved before the deletion keep the same ID, every reader skips
  // it, and it is never given to another duty kind.
  AsTyped,
  // kadrel-cli. Every name trimmed; every ID of a cycle names a live duty
  // kind, so that a mistyped or stale ID is refused.
  Trimmed,
};

// The text checks of rule 2 for a name under `policy` in `file` ("Name" of
// users, schemes or duty kinds), a description and a cycle; for callers
// that refuse bad input before they open or create any file, or that say
// which field is wrong. CheckNameText checks a name trimmed.
bool CheckName(TWritePolicy policy, TScheduleFile file, std::string_view name, TScheduleError& error);
bool CheckNameText(std::string_view name, TScheduleError& error);
bool CheckHintText(std::string_view hint, TScheduleError& error);
bool CheckCycleText(const std::vector<std::int32_t>& cycle, TScheduleError& error);

class TScheduleRecords {
 public:
  // Over tables opened by a data folder (which hands one out), or by the
  // files' open functions; they must outlive this object. Over a folder's
  // tables, a duty kind's times go with it (DeleteDutyKind).
  TScheduleRecords(TScheduleTables& tables, TWritePolicy policy);
  TScheduleRecords(TTableStream& shift, TTableStream& work, TTableStream& user, TWritePolicy policy);

  TWritePolicy Policy() const { return policy_; }
  // How many records this object has written or deleted: whatever was built
  // from the records at another count is out of date.
  std::uint64_t Writes() const { return writes_; }
  std::int32_t LiveCount(TScheduleFile file);

  // --- Reading (each moves only the cursors of the tables it reads) -------

  // Every live record, in slot order.
  std::vector<TUserRecord> Users();
  std::vector<TSchemeRecord> Schemes();
  std::vector<TDutyKindRecord> DutyKinds();

  // The first live user whose name equals `name` as LocateText matches.
  std::optional<TUserRecord> FindUser(std::string_view name);
  // The live user in `slot`.
  std::optional<TUserRecord> UserAt(std::int32_t slot);
  // The first live duty kind with that "ID", or of that name (LocateText).
  std::optional<TDutyKindRecord> FindDutyKind(std::int32_t id);
  std::optional<TDutyKindRecord> FindDutyKindNamed(std::string_view name);
  // The scheme a reference to `id` finds: the first slot with that "ID",
  // a deleted one included (its values stay until the slot is reused).
  std::optional<TSchemeRecord> FindScheme(std::int32_t id);
  std::optional<TStoredCycle> StoredCycle(std::int32_t id);

  // The entries of `ids` whose duty kind is live, in order, at most `limit`.
  std::vector<TResolvedEntry> ResolveCycle(const std::vector<std::int32_t>& ids,
                                           std::size_t limit = std::numeric_limits<std::size_t>::max());
  // The cycle of scheme `id` as the duty computation takes it: the scheme
  // as FindScheme finds it, at most its stored "Count" resolved entries.
  std::vector<TResolvedEntry> UserCycle(std::int32_t shiftId);

  // --- Changing -----------------------------------------------------------

  // Append when the ID (or Slot) is 0, which then receives the new one;
  // otherwise change that live record. The stored texts go back into the
  // record.
  bool SaveDutyKind(TDutyKindRecord& kind, TScheduleError& error);
  bool SaveScheme(TSchemeRecord& scheme, TScheduleError& error);
  bool SaveUser(TUserRecord& user, TScheduleError& error);

  // Removes the duty kind's times first (timedat.kd2, when it exists), so
  // that a change cut short leaves a duty kind without hours, never hours
  // that a later duty kind given the same ID would take over. Then packs.
  bool DeleteDutyKind(std::int32_t id, TScheduleError& error);
  bool DeleteScheme(std::int32_t id, TScheduleError& error);    // not packed
  bool DeleteUser(std::int32_t slot, TScheduleError& error);    // then packs
  // Packs the users file with no deletion: the options dialog compacts it
  // after every answer to its delete question.
  bool PackUsers(TScheduleError& error);

 private:
  TTableStream& Table(TScheduleFile file);
  bool NextId(TScheduleFile file, std::int32_t& id, TScheduleError& error);
  bool Post(TScheduleFile file, TScheduleError& error);
  bool StartChange(TScheduleFile file, bool append, TScheduleError& error);
  bool DeleteCurrent(TScheduleFile file, bool pack, TScheduleError& error);
  bool OtherUserNamed(std::string_view name, std::int32_t exceptSlot);
  bool CheckUserScheme(const TUserRecord& user, TScheduleError& error);
  std::string StoredName(std::string_view name) const;
  TUserRecord ReadUser();
  TSchemeRecord ReadScheme();
  TDutyKindRecord ReadDutyKind();

  TTableStream& shift_;
  TTableStream& work_;
  TTableStream& user_;
  TTableStream* times_ = nullptr;  // a folder's duty times; null over the three files alone
  TWritePolicy policy_;
  std::uint64_t writes_ = 0;
};

}  // namespace kadrel
