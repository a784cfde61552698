#include "schedule/uRotaRecords.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <tuple>
#include <utility>

#include "platform/uGbk.h"
#include "schedule/uReminders.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uTimeFiles.h"
#include "schedule/uSyncFiles.h"

namespace kadrel {
namespace {

const std::int64_t kFirstRotaDay = EncodeDate(kFirstRotaYear, 1, 1);
const std::int64_t kLastRotaDay = EncodeDate(kLastRotaYear, 12, 31);

bool InRotaYears(TDateTime t) {
  return IsUsableDate(t) && WholeDays(t) >= kFirstRotaDay && WholeDays(t) <= kLastRotaDay;
}

// Both ends usable, so that a damaged record is never taken to overlap.
bool Overlaps(const TExceptionRecord& r, std::int64_t first, std::int64_t last) {
  return IsUsableDate(r.First) && IsUsableDate(r.Last) && WholeDays(r.First) <= last && WholeDays(r.Last) >= first;
}

std::string DayRange(const TExceptionRecord& r) {
  const std::string first = FormatIsoDate(WholeDays(r.First));
  return r.Last == r.First ? first : first + " to " + FormatIsoDate(WholeDays(r.Last));
}

// Every live slot in order, the cursor standing on it while `visit` runs;
// `visit` may change or delete that slot, and stops the walk by returning false.
template <typename TVisit>
bool ForEachLive(TTableStream& table, TVisit visit) {
  if (!table.IsOpen() || table.RecordCount() == 0) return true;
  for (table.First(); !table.Eof(); table.Next()) {
    if (!table.IsDeleted() && !visit()) return false;
  }
  return true;
}

TExceptionRecord ReadException(TTableStream& t) {
  TExceptionRecord r;
  r.ID = t.FieldByIndex(kExcID).AsInteger();
  r.User = t.FieldByIndex(kExcUser).AsString();
  r.Kind = static_cast<TExceptionKind>(t.FieldByIndex(kExcKind).AsInteger());
  r.First = t.FieldByIndex(kExcFirst).AsDateTime();
  r.Last = t.FieldByIndex(kExcLast).AsDateTime();
  r.DutyID = t.FieldByIndex(kExcDutyID).AsInteger();
  r.Partner = t.FieldByIndex(kExcPartner).AsString();
  r.Link = t.FieldByIndex(kExcLink).AsInteger();
  r.Leave = t.FieldByIndex(kExcLeave).AsString();
  r.Note = t.FieldByIndex(kExcNote).AsString();
  r.Start = t.FieldByIndex(kExcStart).AsInteger();
  r.Length = t.FieldByIndex(kExcLength).AsInteger();
  return r;
}

THistoryRecord ReadHistoryRecord(TTableStream& t) {
  return {t.FieldByIndex(kHistID).AsInteger(),      t.FieldByIndex(kHistUser).AsString(),
          t.FieldByIndex(kHistUntil).AsDateTime(),  t.FieldByIndex(kHistShiftID).AsInteger(),
          t.FieldByIndex(kHistStart).AsDateTime(),  t.FieldByIndex(kHistFirstID).AsInteger()};
}

template <typename TRead>
auto ReadLive(TTableStream& table, TRead read) {
  std::vector<decltype(read(table))> records;
  ForEachLive(table, [&] {
    records.push_back(read(table));
    return true;
  });
  return records;
}

// A one-line text of at most `maxBytes` GBK bytes, as it will be stored.
bool CheckLine(std::string_view text, std::size_t maxBytes, TRotaField field, const char* what, TRotaError& error) {
  if (text.size() > maxBytes) {
    return error.Fail(TRotaFault::TooLong, field,
                      std::string(what) + " takes " + std::to_string(text.size()) +
                          " bytes in GBK; the field holds at most " + std::to_string(maxBytes));
  }
  if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
    return error.Fail(TRotaFault::BadText, field, std::string(what) + " holds a control character");
  }
  if (!GbkToUtf8(text)) return error.Fail(TRotaFault::BadText, field, std::string(what) + " is not valid GBK text");
  return true;
}

}  // namespace

bool IsExceptionKind(std::int32_t kind) { return kind >= 1 && kind <= 5; }

std::vector<TExceptionRecord> ReadExceptions(TTableStream& exceptions) { return ReadLive(exceptions, ReadException); }

std::vector<THistoryRecord> ReadHistory(TTableStream& history) { return ReadLive(history, ReadHistoryRecord); }

std::string UserKey(std::string_view name) { return GbkFoldAZ(TrimBlanks(name)); }

TRotaRecords::TRotaRecords(TScheduleRecords& schedule, TTableStream& exceptions, TTableStream& history,
                           TChangeFrame* frame, TTableStream* ledger, TTableStream* keys)
    : schedule_(schedule), exceptions_(exceptions), history_(history), frame_(frame), ledger_(ledger), keys_(keys) {}

TTableStream& TRotaRecords::Table(TScheduleFile file) {
  if (file == TScheduleFile::Keys && keys_) return *keys_;
  if (file == TScheduleFile::Ledger && ledger_) return *ledger_;
  return file == TScheduleFile::Exceptions ? exceptions_ : history_;
}

// A change of the rota: without a frame, a rota file it writes must be open.
class TRotaRecords::TChange {
 public:
  explicit TChange(TRotaRecords& owner) : owner_(owner), change_(owner.frame_) {}

  bool Begin(std::span<const TScheduleFile> tables, TRotaError& error) {
    if (!owner_.frame_) {
      for (TScheduleFile file : tables) {
        if (file == TScheduleFile::Exceptions || file == TScheduleFile::History) {
          if (!owner_.RequireOpen(file, error)) return false;
        }
      }
    }
    TScheduleError why;
    return change_.Begin(tables, why) || Failed(why, error);
  }
  bool Commit(TRotaError& error) {
    TScheduleError why;
    return change_.Commit(why) || Failed(why, error);
  }

 private:
  static bool Failed(const TScheduleError& why, TRotaError& error) {
    error.FailSchedule(why, TRotaField::None);
    error.Fault = TRotaFault::WriteFailed;
    return false;
  }
  TRotaRecords& owner_;
  TFramedChange change_;
};

// The tables a change of a user's record writes: userdat.kd2, and those of
// the rota files that exist, whose records follow the user.
std::vector<TScheduleFile> TRotaRecords::UserTables() const {
  std::vector<TScheduleFile> tables{TScheduleFile::User};
  if (exceptions_.IsOpen()) tables.push_back(TScheduleFile::Exceptions);
  if (history_.IsOpen()) tables.push_back(TScheduleFile::History);
  if (ledger_ && ledger_->IsOpen()) tables.push_back(TScheduleFile::Ledger);
  if (keys_ && keys_->IsOpen()) tables.push_back(TScheduleFile::Keys);
  return tables;
}

// --- Reading -------------------------------------------------------------------

std::optional<TExceptionRecord> TRotaRecords::FindException(std::int32_t id) {
  if (!LocateLiveInteger(exceptions_, kExcID, id)) return std::nullopt;
  return ReadException(exceptions_);
}

std::vector<TExceptionRecord> TRotaRecords::ExceptionsOf(std::string_view user, TDateTime from, TDateTime to) {
  const std::string key = UserKey(user);
  std::vector<TExceptionRecord> found;
  for (auto& r : Exceptions()) {
    if (UserKey(r.User) != key) continue;
    const bool damaged = !IsUsableDate(r.First) || !IsUsableDate(r.Last);
    if (damaged || Overlaps(r, WholeDays(from), WholeDays(to))) found.push_back(std::move(r));
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return a.First != b.First ? a.First < b.First : a.ID < b.ID;
  });
  return found;
}

std::vector<THistoryRecord> TRotaRecords::HistoryOf(std::string_view user) {
  const std::string key = UserKey(user);
  std::vector<THistoryRecord> found;
  for (auto& r : History()) {
    if (UserKey(r.User) == key) found.push_back(std::move(r));
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.Until < b.Until; });
  return found;
}

std::optional<TUserRecord> TRotaRecords::LiveUser(std::string_view name) {
  const std::string key = UserKey(name);
  for (auto& user : schedule_.Users()) {
    if (UserKey(user.Name) == key) return std::move(user);
  }
  return std::nullopt;
}

// --- Checks --------------------------------------------------------------------

bool TRotaRecords::CheckRange(TExceptionRecord& record, TRotaError& error) {
  for (auto [day, field] : {std::pair{record.First, TRotaField::First}, std::pair{record.Last, TRotaField::Last}}) {
    if (!InRotaYears(day)) {
      return error.Fail(TRotaFault::BadDate, field,
                        (field == TRotaField::First ? std::string("the first day") : std::string("the last day")) +
                            " is not a date of the years " + std::to_string(kFirstRotaYear) + " to " +
                            std::to_string(kLastRotaYear));
    }
  }
  record.First = static_cast<TDateTime>(WholeDays(record.First));
  record.Last = static_cast<TDateTime>(WholeDays(record.Last));
  const std::int64_t days = WholeDays(record.Last) - WholeDays(record.First) + 1;
  if (days < 1) return error.Fail(TRotaFault::Reversed, TRotaField::Last, "the last day is before the first day");
  if (days > kMaxExceptionDays) {
    return error.Fail(TRotaFault::TooManyDays, TRotaField::Last,
                      "the range covers " + std::to_string(days) + " days; at most " +
                          std::to_string(kMaxExceptionDays) + " are allowed");
  }
  if (record.Kind == TExceptionKind::Swap && days != 1) {
    return error.Fail(TRotaFault::TooManyDays, TRotaField::Last, "a swap is for one day");
  }
  return true;
}

bool TRotaRecords::CheckTexts(TExceptionRecord& record, TRotaError& error) {
  record.Note = std::string(TrimBlanks(record.Note));
  record.Leave = std::string(TrimBlanks(record.Leave));
  if (!CheckLine(record.Note, kNoteMaxBytes, TRotaField::Note, "the note", error)) return false;
  if (record.Kind == TExceptionKind::Note && record.Note.empty()) {
    return error.Fail(TRotaFault::EmptyText, TRotaField::Note, "the note is empty");
  }
  return record.Kind != TExceptionKind::Leave ||
         CheckLine(record.Leave, kNameMaxBytes, TRotaField::Leave, "the leave kind", error);
}

bool TRotaRecords::CheckKind(TExceptionRecord& record, TRotaError& error) {
  switch (record.Kind) {
    case TExceptionKind::Set:
      if (record.DutyID == 0) return true;
      [[fallthrough]];
    case TExceptionKind::Extra:
      if (schedule_.FindDutyKind(record.DutyID)) return true;
      return error.Fail(TRotaFault::UnknownDuty, TRotaField::Duty,
                        "no duty kind has the ID " + std::to_string(record.DutyID));
    case TExceptionKind::Leave: return CheckLeave(record, error);
    case TExceptionKind::Swap: return CheckSwap(record, error);
    case TExceptionKind::Note: return true;
    case TExceptionKind::None: break;
  }
  return error.Fail(TRotaFault::BadKind, TRotaField::Kind, "the kind of exception is not one of 1 to 5");
}

bool TRotaRecords::CheckTimes(const TExceptionRecord& record, TRotaError& error) {
  TTimesError why;
  if (CheckOwnTimes(record.Start, record.Length, why)) return true;
  return error.Fail(TRotaFault::BadTimes, why.Field == TTimesField::Start ? TRotaField::Start : TRotaField::Length,
                    why.Reason);
}

bool TRotaRecords::CheckLeave(const TExceptionRecord& record, TRotaError& error) {
  const std::string key = UserKey(record.User);
  for (const auto& other : Exceptions()) {
    if (other.Kind != TExceptionKind::Leave || UserKey(other.User) != key ||
        !Overlaps(other, WholeDays(record.First), WholeDays(record.Last))) {
      continue;
    }
    return error.Fail(TRotaFault::Overlap, TRotaField::First,
                      "the leave overlaps leave " + std::to_string(other.ID) + " (" + DayRange(other) + ")");
  }
  return true;
}

bool TRotaRecords::CheckSwap(TExceptionRecord& record, TRotaError& error) {
  const std::optional<TUserRecord> partner = LiveUser(record.Partner);
  if (!partner) return error.Fail(TRotaFault::UnknownUser, TRotaField::Partner, "no user has the partner's name");
  if (UserKey(partner->Name) == UserKey(record.User)) {
    return error.Fail(TRotaFault::SelfSwap, TRotaField::Partner, "a user cannot swap with themselves");
  }
  record.Partner = partner->Name;
  const auto snapshot = TRotaSnapshot::Build(schedule_, exceptions_, history_);
  for (auto [name, field] : {std::pair{&record.User, TRotaField::User}, std::pair{&record.Partner, TRotaField::Partner}}) {
    const std::size_t user = *snapshot->FindUser(*name);
    if (!snapshot->Planned(user, record.First).Has) {
      return error.Fail(TRotaFault::NoDuty, field,
                        std::string(field == TRotaField::User ? "the user" : "the partner") + " has no duty that day");
    }
    for (const auto& r : snapshot->Explain(user, record.First).Exceptions) {
      if (r.Kind != TExceptionKind::Swap) continue;
      return error.Fail(TRotaFault::AlreadySwapped, field,
                        std::string(field == TRotaField::User ? "the user" : "the partner") +
                            " already swaps that day (exception " + std::to_string(r.ID) + ")");
    }
  }
  return true;
}

// --- Changing ------------------------------------------------------------------

bool TRotaRecords::RequireOpen(TScheduleFile file, TRotaError& error) {
  if (Table(file).IsOpen()) return true;
  error.Fail(TRotaFault::WriteFailed, TRotaField::None, "the data file is not open");
  error.File = ScheduleFileName(file);
  return false;
}

// Taken before Append, because a table in insert state has no way back but
// Post. Above every ID the file holds as well: a file written by hand may
// hold one beyond its appended count, and two records of one ID would make
// a drop take the wrong one.
bool TRotaRecords::NextIds(TScheduleFile file, std::int32_t count, std::int32_t& first, TRotaError& error) {
  if (!RequireOpen(file, error)) return false;
  TTableStream& table = Table(file);
  std::int32_t highest = std::max(table.AppendedCount(), 0);
  ForEachLive(table, [&] {
    highest = std::max(highest, table.FieldByIndex(0).AsInteger());
    return true;
  });
  if (highest > std::numeric_limits<std::int32_t>::max() - count) {
    error.Fail(TRotaFault::WriteFailed, TRotaField::None, "the data file has no identifiers left");
    error.File = ScheduleFileName(file);
    return false;
  }
  first = highest + 1;
  return true;
}

bool TRotaRecords::Append(const TExceptionRecord& r, TRotaError& error) {
  TTableStream& t = exceptions_;
  const bool set = t.Append() && t.SetInteger(kExcID, r.ID) && t.SetText(kExcUser, r.User) &&
                   t.SetInteger(kExcKind, static_cast<std::int32_t>(r.Kind)) && t.SetFloat(kExcFirst, r.First) &&
                   t.SetFloat(kExcLast, r.Last) && t.SetInteger(kExcDutyID, r.DutyID) &&
                   t.SetText(kExcPartner, r.Partner) && t.SetInteger(kExcLink, r.Link) &&
                   t.SetText(kExcLeave, r.Leave) && t.SetText(kExcNote, r.Note) && t.SetInteger(kExcStart, r.Start) &&
                   t.SetInteger(kExcLength, r.Length);
  if (set && t.Post()) return Wrote();
  return error.FailWrite(TScheduleFile::Exceptions, t, "writing the exception failed");
}

bool TRotaRecords::Append(const THistoryRecord& r, TRotaError& error) {
  TTableStream& t = history_;
  const bool set = t.Append() && t.SetInteger(kHistID, r.ID) && t.SetText(kHistUser, r.User) &&
                   t.SetFloat(kHistUntil, r.Until) && t.SetInteger(kHistShiftID, r.ShiftID) &&
                   t.SetFloat(kHistStart, r.Start) && t.SetInteger(kHistFirstID, r.FirstID);
  if (set && t.Post()) return Wrote();
  return error.FailWrite(TScheduleFile::History, t, "writing the history failed");
}

bool TRotaRecords::DeleteWhere(TScheduleFile file, const std::function<bool(TTableStream&)>& match, TRotaError& error) {
  TTableStream& table = Table(file);
  return ForEachLive(table, [&] {
    if (!match(table)) return true;
    if (table.Delete()) return Wrote();
    return error.FailWrite(file, table, "deleting a record failed");
  });
}

bool TRotaRecords::AddException(TExceptionRecord& record, TRotaError& error) {
  TExceptionRecord r;
  r.Kind = record.Kind;
  r.First = record.First;
  r.Last = record.Last;
  r.Note = record.Note;
  if (r.Kind == TExceptionKind::Set || r.Kind == TExceptionKind::Extra) r.DutyID = record.DutyID;
  // Only a duty has hours: a set to no duty keeps none.
  if (r.DutyID != 0) std::tie(r.Start, r.Length) = std::tie(record.Start, record.Length);
  if (r.Kind == TExceptionKind::Leave) r.Leave = record.Leave;
  if (r.Kind == TExceptionKind::Swap) r.Partner = record.Partner;

  if (!IsExceptionKind(static_cast<std::int32_t>(r.Kind))) {
    return error.Fail(TRotaFault::BadKind, TRotaField::Kind, "the kind of exception is not one of 1 to 5");
  }
  const std::optional<TUserRecord> user = LiveUser(record.User);
  if (!user) return error.Fail(TRotaFault::UnknownUser, TRotaField::User, "no user has that name");
  r.User = user->Name;
  const std::int32_t count = r.Kind == TExceptionKind::Swap ? 2 : 1;
  if (!CheckRange(r, error) || !CheckTexts(r, error) || !CheckKind(r, error) || !CheckTimes(r, error)) return false;
  TChange change(*this);
  const TScheduleFile tables[] = {TScheduleFile::Exceptions};
  if (!change.Begin(tables, error) || !NextIds(TScheduleFile::Exceptions, count, r.ID, error)) return false;
  if (count == 2) r.Link = r.ID + 1;
  if (!Append(r, error)) return false;
  if (count == 2) {
    // The partner's half: the same day and note, the names and links crossed.
    TExceptionRecord half = r;
    half.ID = r.Link;
    half.Link = r.ID;
    std::swap(half.User, half.Partner);
    if (!Append(half, error)) return false;
  }
  if (!change.Commit(error)) return false;
  record = std::move(r);
  return error.Succeed();
}

bool TRotaRecords::DropException(std::int32_t id, std::vector<TExceptionRecord>& dropped, TRotaError& error) {
  dropped.clear();
  std::optional<TExceptionRecord> record = FindException(id);
  if (!record) return error.Fail(TRotaFault::NotFound, TRotaField::ID, "no exception has the ID " + std::to_string(id));
  std::vector<std::int32_t> ids{id};
  // Only a half that links back is the other half: a damaged link must not
  // take an unrelated exception with it.
  if (record->Kind == TExceptionKind::Swap && record->Link != id) {
    std::optional<TExceptionRecord> other = FindException(record->Link);
    if (other && other->Kind == TExceptionKind::Swap && other->Link == id) {
      ids.push_back(other->ID);
      dropped.push_back(std::move(*other));
    }
  }
  dropped.insert(dropped.begin(), std::move(*record));
  auto listed = [&](TTableStream& t) {
    return std::find(ids.begin(), ids.end(), t.FieldByIndex(kExcID).AsInteger()) != ids.end();
  };
  TChange change(*this);
  const TScheduleFile tables[] = {TScheduleFile::Exceptions};
  if (!change.Begin(tables, error) || !DeleteWhere(TScheduleFile::Exceptions, listed, error) ||
      !change.Commit(error)) {
    dropped.clear();
    return false;
  }
  return error.Succeed();
}

bool TRotaRecords::ChangeScheme(std::string_view name, TDateTime from, std::int32_t shiftId, std::int32_t firstId,
                                TRotaError& error) {
  const std::optional<TUserRecord> user = LiveUser(name);
  if (!user) return error.Fail(TRotaFault::UnknownUser, TRotaField::User, "no user has that name");
  if (!InRotaYears(from)) {
    return error.Fail(TRotaFault::BadDate, TRotaField::First,
                      "the first day is not a date of the years " + std::to_string(kFirstRotaYear) + " to " +
                          std::to_string(kLastRotaYear));
  }
  const std::int64_t day = WholeDays(from);
  const auto schemes = schedule_.Schemes();
  if (std::none_of(schemes.begin(), schemes.end(), [&](const auto& s) { return s.ID == shiftId; })) {
    return error.Fail(TRotaFault::UnknownScheme, TRotaField::Scheme, "no scheme has the ID " + std::to_string(shiftId));
  }
  const std::size_t places = schedule_.UserCycle(shiftId).size();
  if (places == 0 ? firstId != 0 : (firstId < 0 || static_cast<std::size_t>(firstId) >= places)) {
    return error.Fail(TRotaFault::BadPlace, TRotaField::Place,
                      "the first place must be from 0 to " + std::to_string(places == 0 ? 0 : places - 1));
  }

  // What held on the day before: the earliest later change's record, else
  // userdat's. Records of changes from `day` on are superseded.
  THistoryRecord kept{0, user->Name, static_cast<TDateTime>(day), user->ShiftID, user->Start, user->FirstID};
  const THistoryRecord* before = nullptr;
  const std::vector<THistoryRecord> history = HistoryOf(user->Name);
  auto supersededUntil = [&](TDateTime until) { return IsUsableDate(until) && WholeDays(until) >= day; };
  for (const auto& h : history) {
    if (!supersededUntil(h.Until)) continue;
    // Whole days and the most recent on a tie, as the resolver picks.
    const std::int64_t until = WholeDays(h.Until);
    if (!before || until < WholeDays(before->Until) || (until == WholeDays(before->Until) && h.ID > before->ID)) {
      before = &h;
    }
  }
  if (before) std::tie(kept.ShiftID, kept.Start, kept.FirstID) = std::tie(before->ShiftID, before->Start, before->FirstID);
  TChange change(*this);
  const TScheduleFile tables[] = {TScheduleFile::User, TScheduleFile::History};
  if (!change.Begin(tables, error) || !NextIds(TScheduleFile::History, 1, kept.ID, error)) return false;

  // The record of the past goes first: a change cut short after it still
  // gives every day what it had.
  if (!Append(kept, error)) return false;
  const std::int32_t keptSlot = history_.CurrentSlot();
  const std::string key = UserKey(user->Name);
  auto isSuperseded = [&](TTableStream& t) {
    return t.CurrentSlot() != keptSlot && supersededUntil(t.FieldByIndex(kHistUntil).AsDateTime()) &&
           UserKey(t.FieldByIndex(kHistUser).AsString()) == key;
  };
  if (!DeleteWhere(TScheduleFile::History, isSuperseded, error)) return false;
  TUserRecord changed = *user;
  changed.ShiftID = shiftId;
  changed.Start = static_cast<TDateTime>(day);
  changed.FirstID = firstId;
  TScheduleError scheduleError;
  if (!schedule_.SaveUser(changed, scheduleError)) return error.FailSchedule(scheduleError, TRotaField::Scheme);
  return change.Commit(error) && error.Succeed();
}

bool TRotaRecords::RenameRecords(std::string_view from, const std::string& to, TRotaError& error) {
  const std::string key = UserKey(from);
  auto rename = [&](TScheduleFile file, int field) {
    TTableStream& table = Table(file);
    return ForEachLive(table, [&] {
      if (UserKey(table.FieldByIndex(field).AsString()) != key) return true;
      if (table.Edit() && table.SetText(field, to) && table.Post()) return Wrote();
      return error.FailWrite(file, table, "renaming the user's records failed");
    });
  };
  if (!rename(TScheduleFile::Exceptions, kExcUser) || !rename(TScheduleFile::Exceptions, kExcPartner) ||
      !rename(TScheduleFile::History, kHistUser) || (keys_ && !rename(TScheduleFile::Keys, kKeysUser))) {
    return false;
  }
  // A reminder sent under the old name would otherwise be sent again.
  TTimesError timesError;
  if (!ledger_ || !ledger_->IsOpen() || RenameLedgerUser(*ledger_, from, to, timesError)) return true;
  return error.FailWrite(TScheduleFile::Ledger, *ledger_, "renaming the user's reminders failed");
}

bool TRotaRecords::SaveUser(TUserRecord& user, TRotaError& error) {
  const std::optional<TUserRecord> stored = user.Slot == 0 ? std::nullopt : schedule_.UserAt(user.Slot);
  TChange change(*this);
  if (!change.Begin(UserTables(), error)) return false;
  TScheduleError scheduleError;
  if (!schedule_.SaveUser(user, scheduleError)) return error.FailSchedule(scheduleError, TRotaField::User);
  if (stored && stored->Name != user.Name && !RenameRecords(stored->Name, user.Name, error)) return false;
  return change.Commit(error) && error.Succeed();
}

bool TRotaRecords::DeleteUser(std::int32_t slot, TRotaError& error) {
  const std::optional<TUserRecord> user = schedule_.UserAt(slot);
  if (!user) {
    TScheduleError notFound;
    notFound.Fail(TEditFault::NotFound, "the user is no longer in the file", ScheduleFileName(TScheduleFile::User));
    return error.FailSchedule(notFound, TRotaField::User);
  }
  const std::string key = UserKey(user->Name);
  auto isUsers = [&](TTableStream& t) {
    const bool partnerHalf = t.FieldByIndex(kExcKind).AsInteger() == static_cast<std::int32_t>(TExceptionKind::Swap) &&
                             UserKey(t.FieldByIndex(kExcPartner).AsString()) == key;
    return partnerHalf || UserKey(t.FieldByIndex(kExcUser).AsString()) == key;
  };
  auto isUsersHistory = [&](TTableStream& t) { return UserKey(t.FieldByIndex(kHistUser).AsString()) == key; };
  auto isUsersKey = [&](TTableStream& t) { return UserKey(t.FieldByIndex(kKeysUser).AsString()) == key; };
  TChange change(*this);
  if (!change.Begin(UserTables(), error)) return false;
  auto isUsersReminder = [&](TTableStream& t) { return UserKey(t.FieldByIndex(kSentUser).AsString()) == key; };
  if (!DeleteWhere(TScheduleFile::Exceptions, isUsers, error) || !DeleteWhere(TScheduleFile::History, isUsersHistory, error) ||
      (ledger_ && !DeleteWhere(TScheduleFile::Ledger, isUsersReminder, error)) ||
      (keys_ && !DeleteWhere(TScheduleFile::Keys, isUsersKey, error))) {
    return false;
  }
  TScheduleError scheduleError;
  if (!schedule_.DeleteUser(slot, scheduleError)) {
    // Deleted but not compacted is a deletion all the same: it is kept, with its records.
    if (scheduleError.Fault == TEditFault::PackFailed && !change.Commit(error)) return false;
    return error.FailSchedule(scheduleError, TRotaField::User);
  }
  return change.Commit(error) && error.Succeed();
}

}  // namespace kadrel
