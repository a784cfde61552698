// TRotaRecords: the exceptions and the rotation history as records, and the
// one way Kadrel changes them (schedule/uRotaFiles.h gives the files and
// their rules). It works beside TScheduleRecords, over tables opened by the
// caller: a change that must also touch userdat.kd2 (a change of scheme, a
// rename, a deletion) goes through TScheduleRecords in the same call.
//
// Every change is one call, and every table write of the change happens
// inside it, between the Begin and the Commit of a change frame, so that
// whoever owns the tables makes the call one commit. Every rule is checked
// before Begin; what can still fail after it is the store itself (a full
// disk, a lost file), and the frame then rolls the change back.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uDateTime.h"
#include "schedule/uRotaFiles.h"
#include "schedule/uScheduleRecords.h"
#include "store/uTableStream.h"

namespace kadrel {

// 0 is never stored: it is a day no exception changes.
enum class TExceptionKind : std::int32_t { None = 0, Set = 1, Leave = 2, Extra = 3, Swap = 4, Note = 5 };

bool IsExceptionKind(std::int32_t kind);

// Texts are GBK, as stored. Dates as stored: a damaged file may hold any
// double, which the resolver then passes over (a listing still shows it).
struct TExceptionRecord {
  std::int32_t ID = 0;  // 0 until added
  std::string User;
  TExceptionKind Kind = TExceptionKind::None;
  TDateTime First = 0;
  TDateTime Last = 0;
  std::int32_t DutyID = 0;
  std::string Partner;
  std::int32_t Link = 0;
  std::string Leave;
  std::string Note;
  std::int32_t Start = -1;
  std::int32_t Length = 0;
};

struct THistoryRecord {
  std::int32_t ID = 0;
  std::string User;
  TDateTime Until = 0;
  std::int32_t ShiftID = 0;
  TDateTime Start = 0;
  std::int32_t FirstID = 0;
};

// Every live record of an open table, in slot order; none when the table is
// not open (its file does not exist).
std::vector<TExceptionRecord> ReadExceptions(TTableStream& exceptions);
std::vector<THistoryRecord> ReadHistory(TTableStream& history);

// The key a user is matched by: the name trimmed, A..Z folded.
std::string UserKey(std::string_view name);

class TRotaRecords {
 public:
  // The tables must outlive this object, and so must `frame`. The two rota
  // tables may be closed when their files do not exist yet: they read as
  // empty, and a change that would write one has the frame make it (without
  // a frame, it is refused). A file that exists must be open, or a rename or
  // deletion of a user leaves its records behind.
  // The reminders sent (`ledger`, when its file exists) follow a user
  // renamed or deleted too, and so do the calendar keys (`keys`,
  // uiddat.kd2, schedule/uSyncFiles.h).
  TRotaRecords(TScheduleRecords& schedule, TTableStream& exceptions, TTableStream& history,
               TChangeFrame* frame = nullptr, TTableStream* ledger = nullptr, TTableStream* keys = nullptr);

  // How many records this object and its TScheduleRecords have written or
  // deleted: a snapshot built at another count is out of date.
  std::uint64_t Writes() const { return writes_ + schedule_.Writes(); }

  // --- Reading -------------------------------------------------------------

  std::vector<TExceptionRecord> Exceptions() { return ReadExceptions(exceptions_); }
  std::vector<THistoryRecord> History() { return ReadHistory(history_); }
  std::optional<TExceptionRecord> FindException(std::int32_t id);
  // The user's exceptions that touch the days `from`..`to` (whole days),
  // ordered by first day, then ID; a record with a damaged date is listed
  // whatever the days asked.
  std::vector<TExceptionRecord> ExceptionsOf(std::string_view user, TDateTime from, TDateTime to);
  // The user's history, the earliest "Until" first.
  std::vector<THistoryRecord> HistoryOf(std::string_view user);

  // --- Changing ------------------------------------------------------------

  // Adds `record` (ID 0) after checking the rules of its kind; only the
  // fields its kind has are stored (own times only with a duty), and "User" (and a swap's "Partner") take
  // the names as userdat.kd2 stores them. A swap adds both halves: `record`
  // comes back as the user's half, its Link the partner's half.
  bool AddException(TExceptionRecord& record, TRotaError& error);
  // Drops the exception `id` and, for a swap, its other half; `dropped`
  // receives what was dropped.
  bool DropException(std::int32_t id, std::vector<TExceptionRecord>& dropped, TRotaError& error);
  // From day `from` on the user follows scheme `shiftId`, at place `firstId`
  // of its cycle on that day (rule 11 of the files).
  bool ChangeScheme(std::string_view user, TDateTime from, std::int32_t shiftId, std::int32_t firstId,
                    TRotaError& error);

  // TScheduleRecords::SaveUser, carrying the user's exceptions, history and
  // reminders sent to the new name when the name changes, so that a renamed
  // user is not reminded twice.
  bool SaveUser(TUserRecord& user, TRotaError& error);
  // TScheduleRecords::DeleteUser, after the user's exceptions, the other
  // halves of the user's swaps and the user's history.
  bool DeleteUser(std::int32_t slot, TRotaError& error);

 private:
  bool CheckRange(TExceptionRecord& record, TRotaError& error);
  bool CheckTexts(TExceptionRecord& record, TRotaError& error);
  bool CheckKind(TExceptionRecord& record, TRotaError& error);
  bool CheckLeave(const TExceptionRecord& record, TRotaError& error);
  bool CheckSwap(TExceptionRecord& record, TRotaError& error);
  bool CheckTimes(const TExceptionRecord& record, TRotaError& error);
  class TChange;
  bool RequireOpen(TScheduleFile file, TRotaError& error);
  bool NextIds(TScheduleFile file, std::int32_t count, std::int32_t& first, TRotaError& error);
  bool Append(const TExceptionRecord& record, TRotaError& error);
  bool Append(const THistoryRecord& record, TRotaError& error);
  bool DeleteWhere(TScheduleFile file, const std::function<bool(TTableStream&)>& match, TRotaError& error);
  bool RenameRecords(std::string_view from, const std::string& to, TRotaError& error);
  std::vector<TScheduleFile> UserTables() const;
  bool Wrote() {
    ++writes_;
    return true;
  }
  std::optional<TUserRecord> LiveUser(std::string_view name);
  TTableStream& Table(TScheduleFile file);

  TScheduleRecords& schedule_;
  TTableStream& exceptions_;
  TTableStream& history_;
  TChangeFrame* frame_;
  TTableStream* ledger_;
  TTableStream* keys_;
  std::uint64_t writes_ = 0;
};

}  // namespace kadrel
