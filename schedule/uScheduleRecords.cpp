#include "schedule/uScheduleRecords.h"

#include <cassert>
#include <cstring>
#include <utility>

#include "platform/uGbk.h"
#include "schedule/uTimeFiles.h"

namespace kadrel {
namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20; }

// Rule 2 on the text that will be stored. Emptiness is judged on the
// trimmed text, so that blanks kept as typed do not make a name.
bool CheckText(std::string_view stored, std::size_t maxBytes, bool isName, bool mayBeEmpty, const char* what,
               TScheduleError& error) {
  if (isName && !mayBeEmpty && TrimBlanks(stored).empty()) {
    return error.Fail(TEditFault::EmptyName, std::string(what) + " is empty");
  }
  if (stored.size() > maxBytes) {
    return error.Fail(TEditFault::TooLong, std::string(what) + " takes " + std::to_string(stored.size()) +
                                               " bytes in GBK; the field holds at most " + std::to_string(maxBytes));
  }
  for (char c : stored) {
    // A zero byte would end the stored text early; names are single-line.
    if (c == '\0' || (isName && IsControl(c))) {
      return error.Fail(TEditFault::BadText, std::string(what) + " holds a control character");
    }
  }
  if (!GbkToUtf8(stored)) return error.Fail(TEditFault::BadText, std::string(what) + " is not valid GBK text");
  return error.Succeed();
}

// Names the file of a refusal made before any file was touched.
bool Blame(TScheduleError& error, TScheduleFile file) {
  error.File = ScheduleFileName(file);
  return false;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every live slot in order, the cursor standing on it while `visit` runs.
template <typename TVisit>
void ForEachLive(TTableStream& table, TVisit visit) {
  if (!table.IsOpen() || table.RecordCount() == 0) return;
  for (table.First(); !table.Eof(); table.Next()) {
    if (!table.IsDeleted()) visit();
  }
}

bool SeekLiveSlot(TTableStream& table, std::int32_t slot) {
  if (!table.IsOpen() || slot < 1 || slot > table.RecordCount()) return false;
  table.First();
  if (slot > 1 && !table.MoveBy(slot - 1)) return false;
  return table.CurrentSlot() == slot && !table.IsDeleted();
}

// As references find a record by "ID": the first slot that holds it, live or not.
bool LocateReference(TTableStream& table, int field, std::int32_t id) {
  return table.IsOpen() && table.LocateInteger(table.Fields().Field(field).Name, id);
}

// An ID the file has given to a record, which may have been deleted since.
bool HandedOut(TTableStream& table, std::int32_t id) { return id >= 1 && id <= table.AppendedCount(); }

// Setting a field fails only on a table whose fields are not the file's,
// which opening refuses.
bool FieldsSet(bool set, TScheduleFile file, TScheduleError& error) {
  if (set) return true;
  return error.Fail(TEditFault::WriteFailed, "the data file does not have the expected fields", ScheduleFileName(file));
}

}  // namespace

bool CheckName(TWritePolicy policy, TScheduleFile file, std::string_view name, TScheduleError& error) {
  // Duty kinds are trimmed under either policy: the dialog trims them too.
  const bool asTyped = policy == TWritePolicy::AsTyped && file != TScheduleFile::Work;
  const std::string_view stored = asTyped ? name : TrimBlanks(name);
  return CheckText(stored, kNameMaxBytes, true, asTyped && file == TScheduleFile::Shift, "the name", error) ||
         Blame(error, file);
}

bool CheckNameText(std::string_view name, TScheduleError& error) {
  return CheckText(TrimBlanks(name), kNameMaxBytes, true, false, "the name", error);
}

bool CheckHintText(std::string_view hint, TScheduleError& error) {
  return CheckText(TrimBlanks(hint), kHintMaxBytes, false, false, "the description", error) ||
         Blame(error, TScheduleFile::Work);
}

bool CheckCycleText(const std::vector<std::int32_t>& cycle, TScheduleError& error) {
  const std::size_t bytes = WriteWorkList(cycle).size();
  if (bytes <= kWorkListMaxBytes) return error.Succeed();
  error.Fail(TEditFault::TooLong, "the cycle takes " + std::to_string(bytes) + " bytes; the field holds at most " +
                                      std::to_string(kWorkListMaxBytes));
  return Blame(error, TScheduleFile::Shift);
}

TScheduleRecords::TScheduleRecords(TScheduleTables& tables, TWritePolicy policy, TChangeFrame* frame)
    : TScheduleRecords(tables.Shift, tables.Work, tables.User, policy) {
  times_ = &tables.Times;
  frame_ = frame;
}

TScheduleRecords::TScheduleRecords(TTableStream& shift, TTableStream& work, TTableStream& user, TWritePolicy policy)
    : shift_(shift), work_(work), user_(user), policy_(policy) {}

TTableStream& TScheduleRecords::Table(TScheduleFile file) {
  switch (file) {
    case TScheduleFile::Shift: return shift_;
    case TScheduleFile::Work: return work_;
    case TScheduleFile::User: break;
    case TScheduleFile::Exceptions:
    case TScheduleFile::History: assert(!"the rota files are TRotaRecords'"); break;
    case TScheduleFile::Times:
    case TScheduleFile::Settings:
    case TScheduleFile::Ledger: assert(!"the time files have records of their own"); break;
    case TScheduleFile::Sync:
    case TScheduleFile::Keys: assert(!"the sync files have records of their own"); break;
  }
  return user_;
}

std::int32_t TScheduleRecords::LiveCount(TScheduleFile file) { return LiveRecordCount(Table(file)); }

// --- Reading -------------------------------------------------------------------

TUserRecord TScheduleRecords::ReadUser() {
  return {user_.CurrentSlot(), user_.FieldByIndex(kUserName).AsString(), user_.FieldByIndex(kUserShiftID).AsInteger(),
          user_.FieldByIndex(kUserStart).AsDateTime(), user_.FieldByIndex(kUserFirstID).AsInteger()};
}

TSchemeRecord TScheduleRecords::ReadScheme() {
  return {shift_.FieldByIndex(kShiftID).AsInteger(), shift_.FieldByIndex(kShiftName).AsString(),
          WorkListIds(shift_.FieldByIndex(kShiftWorkList).AsString())};
}

TDutyKindRecord TScheduleRecords::ReadDutyKind() {
  return {work_.FieldByIndex(kWorkID).AsInteger(), work_.FieldByIndex(kWorkName).AsString(),
          work_.FieldByIndex(kWorkHint).AsString()};
}

std::vector<TUserRecord> TScheduleRecords::Users() {
  std::vector<TUserRecord> users;
  ForEachLive(user_, [&] { users.push_back(ReadUser()); });
  return users;
}

std::vector<TSchemeRecord> TScheduleRecords::Schemes() {
  std::vector<TSchemeRecord> schemes;
  ForEachLive(shift_, [&] { schemes.push_back(ReadScheme()); });
  return schemes;
}

std::vector<TDutyKindRecord> TScheduleRecords::DutyKinds() {
  std::vector<TDutyKindRecord> kinds;
  ForEachLive(work_, [&] { kinds.push_back(ReadDutyKind()); });
  return kinds;
}

std::optional<TUserRecord> TScheduleRecords::FindUser(std::string_view name) {
  if (!LocateLiveText(user_, kUserName, name)) return std::nullopt;
  return ReadUser();
}

std::optional<TUserRecord> TScheduleRecords::UserAt(std::int32_t slot) {
  if (!SeekLiveSlot(user_, slot)) return std::nullopt;
  return ReadUser();
}

std::optional<TDutyKindRecord> TScheduleRecords::FindDutyKind(std::int32_t id) {
  if (!LocateLiveInteger(work_, kWorkID, id)) return std::nullopt;
  return ReadDutyKind();
}

std::optional<TDutyKindRecord> TScheduleRecords::FindDutyKindNamed(std::string_view name) {
  if (!LocateLiveText(work_, kWorkName, name)) return std::nullopt;
  return ReadDutyKind();
}

std::optional<TSchemeRecord> TScheduleRecords::FindScheme(std::int32_t id) {
  if (!LocateReference(shift_, kShiftID, id)) return std::nullopt;
  return ReadScheme();
}

std::optional<TStoredCycle> TScheduleRecords::StoredCycle(std::int32_t id) {
  if (!LocateReference(shift_, kShiftID, id)) return std::nullopt;
  return TStoredCycle{shift_.FieldByIndex(kShiftCount).AsInteger(),
                      ReadWorkList(shift_.FieldByIndex(kShiftWorkList).AsString())};
}

std::vector<TResolvedEntry> TScheduleRecords::ResolveCycle(const std::vector<std::int32_t>& ids, std::size_t limit) {
  return ResolveWorkList(work_, ids, limit);
}

std::vector<TResolvedEntry> TScheduleRecords::UserCycle(std::int32_t shiftId) {
  if (!LocateReference(shift_, kShiftID, shiftId)) return {};
  const std::int32_t count = shift_.FieldByIndex(kShiftCount).AsInteger();
  if (count <= 0) return {};
  return ResolveWorkList(work_, WorkListIds(shift_.FieldByIndex(kShiftWorkList).AsString()),
                         static_cast<std::size_t>(count));
}

// --- Changing ------------------------------------------------------------------

std::string TScheduleRecords::StoredName(std::string_view name) const {
  return std::string(policy_ == TWritePolicy::AsTyped ? name : TrimBlanks(name));
}

// Takes the next identifier before Append, because a table in insert state
// cannot be taken back to browse without posting.
bool TScheduleRecords::NextId(TScheduleFile file, std::int32_t& id, TScheduleError& error) {
  TTableStream& table = Table(file);
  if (table.AppendedCount() >= std::numeric_limits<std::int32_t>::max()) {
    return error.Fail(TEditFault::WriteFailed, "the data file has no identifiers left", ScheduleFileName(file));
  }
  id = table.AppendedCount() + 1;
  return true;
}

bool TScheduleRecords::StartChange(TScheduleFile file, bool append, TScheduleError& error) {
  TTableStream& table = Table(file);
  if (append ? table.Append() : table.Edit()) return true;
  return error.Fail(TEditFault::WriteFailed,
                    append ? "the data file cannot take a new record: " + TableReason(table, "not in browse state")
                           : "the record cannot be changed: " + TableReason(table, "not in browse state"),
                    ScheduleFileName(file), table.Error());
}

bool TScheduleRecords::Post(TScheduleFile file, TScheduleError& error) {
  TTableStream& table = Table(file);
  if (table.Post()) {
    ++writes_;
    return error.Succeed();
  }
  return error.Fail(TEditFault::WriteFailed, "writing the data file failed: " + TableReason(table, "unknown error"),
                    ScheduleFileName(file), table.Error());
}

// `also` runs after the deletion, in its commit, for the records that go
// with the deleted one.
bool TScheduleRecords::DeleteCurrent(TScheduleFile file, bool pack, TScheduleError& error,
                                     std::span<const TScheduleFile> tables, const std::function<bool()>& also) {
  TTableStream& table = Table(file);
  TFramedChange change(pack || also ? frame_ : nullptr);
  if (!change.Begin(tables, error)) return false;
  if (!table.Delete()) {
    return error.Fail(TEditFault::WriteFailed, "deleting the record failed: " + TableReason(table, "unknown error"),
                      ScheduleFileName(file), table.Error());
  }
  ++writes_;
  if (also && !also()) return false;
  if (pack && !table.Pack()) {
    // What was deleted stays deleted: only the compaction is lost.
    const TTableError why = table.Error();
    if (!change.Commit(error)) return false;
    return error.Fail(TEditFault::PackFailed,
                      "the record is deleted, but compacting the file failed: " + TableReason(table, "unknown error"),
                      ScheduleFileName(file), why);
  }
  return change.Commit(error) && error.Succeed();
}

bool TScheduleRecords::SaveDutyKind(TDutyKindRecord& kind, TScheduleError& error) {
  constexpr TScheduleFile file = TScheduleFile::Work;
  if (!work_.IsOpen()) return error.Fail(TEditFault::WriteFailed, "the data file is not open", ScheduleFileName(file));
  const std::string name(TrimBlanks(kind.Name)), hint(TrimBlanks(kind.Hint));
  if (!CheckName(policy_, file, name, error) || !CheckHintText(hint, error)) return false;
  const bool append = kind.ID == 0;
  std::int32_t id = kind.ID;
  if (append && !NextId(file, id, error)) return false;
  if (!append && !LocateLiveInteger(work_, kWorkID, id)) {
    return error.Fail(TEditFault::NotFound, "the duty kind is no longer in the file", ScheduleFileName(file));
  }
  if (!StartChange(file, append, error)) return false;
  const bool set = work_.SetInteger(kWorkID, id) && work_.SetText(kWorkName, name) && work_.SetText(kWorkHint, hint);
  if (!FieldsSet(set, file, error) || !Post(file, error)) return false;
  kind = {id, name, hint};
  return true;
}

bool TScheduleRecords::SaveScheme(TSchemeRecord& scheme, TScheduleError& error) {
  constexpr TScheduleFile file = TScheduleFile::Shift;
  if (!shift_.IsOpen()) return error.Fail(TEditFault::WriteFailed, "the data file is not open", ScheduleFileName(file));
  const std::string name = StoredName(scheme.Name);
  if (!CheckName(policy_, file, name, error)) return false;
  for (std::int32_t dutyId : scheme.Cycle) {
    if (!LocateLiveInteger(work_, kWorkID, dutyId) && !(policy_ == TWritePolicy::AsTyped && HandedOut(work_, dutyId))) {
      return error.Fail(TEditFault::BadReference, "no duty kind has the ID " + std::to_string(dutyId),
                        ScheduleFileName(file));
    }
  }
  if (!CheckCycleText(scheme.Cycle, error)) return false;
  const bool append = scheme.ID == 0;
  std::int32_t id = scheme.ID;
  if (append && !NextId(file, id, error)) return false;
  if (!append && !LocateLiveInteger(shift_, kShiftID, id)) {
    return error.Fail(TEditFault::NotFound, "the scheme is no longer in the file", ScheduleFileName(file));
  }
  if (!StartChange(file, append, error)) return false;
  const bool set = shift_.SetInteger(kShiftID, id) &&
                   shift_.SetInteger(kShiftCount, static_cast<std::int32_t>(scheme.Cycle.size())) &&
                   shift_.SetText(kShiftName, name) && shift_.SetText(kShiftWorkList, WriteWorkList(scheme.Cycle));
  if (!FieldsSet(set, file, error) || !Post(file, error)) return false;
  scheme.ID = id;
  scheme.Name = name;
  return true;
}

// The table's own search, which compares the slots' bytes in place: a name
// is checked against every user at each save, and a slot read into a
// record for each would cost the options dialog milliseconds at 100,000.
bool TScheduleRecords::OtherUserNamed(std::string_view name, std::int32_t exceptSlot) {
  if (!user_.IsOpen()) return false;
  const std::string field = user_.Fields().Field(kUserName).Name;
  for (std::int32_t from = 1; user_.LocateTrimmedText(field, name, from); from = user_.CurrentSlot() + 1) {
    if (!user_.IsDeleted() && user_.CurrentSlot() != exceptSlot) return true;
  }
  return false;
}

// Rule 5, the same for both policies.
bool TScheduleRecords::CheckUserScheme(const TUserRecord& user, TScheduleError& error) {
  const char* file = ScheduleFileName(TScheduleFile::User);
  if (user.ShiftID == -1) {
    if (user.FirstID == -1) return true;
    return error.Fail(TEditFault::BadPlace, "a user whose scheme was not found has the place -1", file);
  }
  std::size_t places = 0;
  if (user.ShiftID == 0 && LiveRecordCount(shift_) == 0) {
    places = 0;
  } else if (LocateLiveInteger(shift_, kShiftID, user.ShiftID)) {
    const std::int32_t count = shift_.FieldByIndex(kShiftCount).AsInteger();
    const std::string text = shift_.FieldByIndex(kShiftWorkList).AsString();
    places = count > 0 ? ResolveWorkList(work_, WorkListIds(text), static_cast<std::size_t>(count)).size() : 0;
  } else {
    return error.Fail(TEditFault::BadReference, "no scheme has the ID " + std::to_string(user.ShiftID), file);
  }
  const bool placeOk = places == 0 ? user.FirstID == 0
                                   : user.FirstID >= 0 && static_cast<std::size_t>(user.FirstID) < places;
  if (placeOk) return true;
  return error.Fail(TEditFault::BadPlace,
                    "the first place must be from 0 to " + std::to_string(places == 0 ? 0 : places - 1), file);
}

bool TScheduleRecords::SaveUser(TUserRecord& user, TScheduleError& error) {
  constexpr TScheduleFile file = TScheduleFile::User;
  if (!user_.IsOpen()) return error.Fail(TEditFault::WriteFailed, "the data file is not open", ScheduleFileName(file));
  const bool append = user.Slot == 0;
  std::optional<TUserRecord> stored;
  if (!append && !(stored = UserAt(user.Slot))) {
    return error.Fail(TEditFault::NotFound, "the user is no longer in the file", ScheduleFileName(file));
  }
  const std::string name = StoredName(user.Name);
  if (!CheckName(policy_, file, name, error)) return false;
  if (OtherUserNamed(name, user.Slot)) {
    return error.Fail(TEditFault::Duplicate, "a user of that name already exists", ScheduleFileName(file));
  }
  const bool keepsStart = stored && SameBits(stored->Start, user.Start);
  if (!keepsStart && !IsUsableDate(user.Start)) {
    return error.Fail(TEditFault::BadDate, "the start is not a date of the years 1 to 9999", ScheduleFileName(file));
  }
  const bool keepsScheme = stored && stored->ShiftID == user.ShiftID && stored->FirstID == user.FirstID;
  if (!keepsScheme && !CheckUserScheme(user, error)) return false;

  if (!append && !SeekLiveSlot(user_, user.Slot)) {
    return error.Fail(TEditFault::NotFound, "the user is no longer in the file", ScheduleFileName(file));
  }
  if (!StartChange(file, append, error)) return false;
  const bool set = user_.SetText(kUserName, name) && user_.SetInteger(kUserShiftID, user.ShiftID) &&
                   user_.SetFloat(kUserStart, user.Start) && user_.SetInteger(kUserFirstID, user.FirstID);
  if (!FieldsSet(set, file, error) || !Post(file, error)) return false;
  user.Name = name;
  if (append) user.Slot = user_.CurrentSlot();
  return true;
}

bool TScheduleRecords::DeleteDutyKind(std::int32_t id, TScheduleError& error) {
  if (!LocateLiveInteger(work_, kWorkID, id)) {
    return error.Fail(TEditFault::NotFound, "no duty kind has the ID " + std::to_string(id),
                      ScheduleFileName(TScheduleFile::Work));
  }
  if (!times_ || !times_->IsOpen()) {
    const TScheduleFile tables[] = {TScheduleFile::Work};
    return DeleteCurrent(TScheduleFile::Work, true, error, tables);
  }
  // A kind's times outlive it otherwise, and a later kind that is given its ID
  // by a damaged file would inherit them.
  const TScheduleFile tables[] = {TScheduleFile::Work, TScheduleFile::Times};
  TTableStream& times = *times_;
  return DeleteCurrent(TScheduleFile::Work, true, error, tables, [&] {
    bool deleted = true;
    ForEachLive(times, [&] {
      if (deleted && times.FieldByIndex(kTimesDutyID).AsInteger() == id) deleted = times.Delete();
    });
    if (deleted) return true;
    return error.Fail(TEditFault::WriteFailed,
                      "removing the duty times failed: " + TableReason(times, "unknown error"),
                      ScheduleFileName(TScheduleFile::Times), times.Error());
  });
}

bool TScheduleRecords::DeleteScheme(std::int32_t id, TScheduleError& error) {
  if (!LocateLiveInteger(shift_, kShiftID, id)) {
    return error.Fail(TEditFault::NotFound, "no scheme has the ID " + std::to_string(id),
                      ScheduleFileName(TScheduleFile::Shift));
  }
  const TScheduleFile tables[] = {TScheduleFile::Shift};
  return DeleteCurrent(TScheduleFile::Shift, false, error, tables);
}

bool TScheduleRecords::DeleteUser(std::int32_t slot, TScheduleError& error) {
  if (!SeekLiveSlot(user_, slot)) {
    return error.Fail(TEditFault::NotFound, "the user is no longer in the file", ScheduleFileName(TScheduleFile::User));
  }
  const TScheduleFile tables[] = {TScheduleFile::User};
  return DeleteCurrent(TScheduleFile::User, true, error, tables);
}

bool TScheduleRecords::PackUsers(TScheduleError& error) {
  if (user_.IsOpen() && user_.Pack()) return error.Succeed();
  return error.Fail(TEditFault::PackFailed, "compacting the file failed: " + TableReason(user_, "the file is not open"),
                    ScheduleFileName(TScheduleFile::User), user_.Error());
}

}  // namespace kadrel
