// TRotaSnapshot: the resolved day of any user, from the three schedule files,
// the exceptions and the history (schedule/uRotaFiles.h), read once. Every
// view, document, count and export asks it; none recomputes a duty.
//
// The day of user U on day X:
//   1. The base: the rotation's duty of X under U's assignment for X (the
//      history's, else userdat.kd2's), exactly as GetDutyName computes it.
//   2. The exceptions of U covering X: the most recent (highest ID) of set,
//      leave and swap wins. A set gives its duty kind, or none; a leave no
//      duty and its kind; a swap the partner's duty of X as the partner's
//      base or most recent set gives it, leaves and swaps left out: a
//      partner who goes on leave after the swap is absent from the duty the
//      partner took over, while U still works the one U took over. Every
//      extra adds its duty kind, in ID order. The note is the most recent
//      non-empty note of any kind.
//   3. Without exceptions the day is the base, so every text built from it is
//      what it was before exceptions existed.
//
// A duty kind an exception names that has been deleted since shows as
// DeletedDutyName (the record stays and is listed). An exception with a date
// that is not a day, a range that ends before it starts, or a swap whose
// partner is no live user, never crashes: the first two are passed over (a
// listing still shows them), the last keeps its partner's name and gives no
// duty.
//
// The snapshot never changes once built; share it (std::shared_ptr) between
// views, and build a new one after a change. Texts in a resolved day point
// into the snapshot and live as long as it does. A day costs two binary
// searches in the user's own lists, whatever the number of exceptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/uDateTime.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uShiftUser.h"
#include "schedule/uScheduleRecords.h"
#include "store/uTableStream.h"

namespace kadrel {

struct TFolderTimes;

// "#7": the name a day shows for a duty kind 7 that no longer exists. The ID
// keeps it apart from every other, and `duties` shows that none has it.
std::string DeletedDutyName(std::int32_t id);

struct TDutyRef {
  bool Has = false;  // false: no duty (and ID 0, no name)
  std::int32_t ID = 0;
  std::string_view Name;
  friend bool operator==(const TDutyRef&, const TDutyRef&) = default;
};

struct TExtraDuty {
  std::int32_t ExceptionID = 0;
  TDutyRef Duty;
  std::int32_t Start = -1;  // own times, as the exception stores them
  std::int32_t Length = 0;
};

struct TResolvedDay {
  TDutyRef Duty;      // what the user works
  TDutyRef Replaced;  // the base duty, before any exception
  // The winning set, leave or swap; else Extra when the day has extras, Note
  // when it has only a note, None when nothing changes it.
  TExceptionKind Kind = TExceptionKind::None;
  std::int32_t ExceptionID = 0;  // the winning exception; 0 for None
  std::string_view Partner;      // a swap's other user, as stored
  std::string_view Leave;        // a leave's kind, as stored (may be empty)
  std::vector<TExtraDuty> Extras;
  std::string_view Note;
  std::int32_t Start = -1;  // a set's own times, as stored
  std::int32_t Length = 0;
};

// What made a day, for an explanation.
struct TDayLayers {
  TDutyRef Rotation;  // under the assignment userdat.kd2 holds
  std::optional<THistoryRecord> History;  // the earlier assignment that held on the day
  TDutyRef HistoryDuty;                    // its duty, when History
  std::vector<TExceptionRecord> Exceptions;  // those covering the day, in ID order
  TResolvedDay Result;
};

class TRotaSnapshot {
 public:
  // Reads every live user, scheme and duty kind through `records`, and the
  // records of the two rota tables; a table that is not open has none.
  static std::shared_ptr<const TRotaSnapshot> Build(TScheduleRecords& records, TTableStream& exceptions,
                                                    TTableStream& history);
  // One user known by a loaded rotation alone: no exceptions, no history,
  // and duty kinds without their IDs (0). Every day is what GetDutyName
  // gives.
  static std::shared_ptr<const TRotaSnapshot> OfRotation(const TShiftUser& user);

  // The live users in slot order, as userdat.kd2 stores their names.
  std::size_t UserCount() const;
  const std::string& UserName(std::size_t user) const;
  // The user a name means (trimmed, A..Z without case), as the files match it.
  std::optional<std::size_t> FindUser(std::string_view name) const;

  // The day of a whole date (a fraction is dropped). A date that is not a
  // day gives the empty day, as GetDutyName gives no duty.
  TResolvedDay Resolve(std::size_t user, TDateTime date) const;
  // Every day of `first`..`last`, in order.
  std::vector<TResolvedDay> ResolveRange(std::size_t user, TDateTime first, TDateTime last) const;
  // The user's duty with swaps and extras left out: the base, or what the
  // most recent set or leave makes of it. Both users of a swap need one.
  TDutyRef Planned(std::size_t user, TDateTime date) const;
  TDayLayers Explain(std::size_t user, TDateTime date) const;

  ~TRotaSnapshot();
  TRotaSnapshot(const TRotaSnapshot&) = delete;
  TRotaSnapshot& operator=(const TRotaSnapshot&) = delete;

 private:
  struct TAssignment;
  struct TEntry;
  struct TUser;
  TRotaSnapshot() = default;

  TDutyRef Base(const TUser& user, std::int64_t day) const;
  TDutyRef Rotation(const TAssignment& assignment, std::int64_t day) const;
  TDutyRef DutyOf(std::int32_t id) const;
  template <typename TVisit>
  void ForCovering(const TUser& user, std::int64_t day, TVisit visit) const;
  TDutyRef PlannedOf(const TUser& user, std::int64_t day, bool withLeave) const;
  TResolvedDay ResolveDay(const TUser& user, std::int64_t day) const;

  std::vector<TUser> users_;
  std::unordered_map<std::string, std::size_t> byKey_;
  std::vector<TExceptionRecord> exceptions_;
  std::vector<THistoryRecord> history_;
  // Names of live duty kinds and of the deleted ones exceptions name; the
  // nodes never move, so days may point at them.
  std::unordered_map<std::int32_t, std::string> dutyNames_;
};

// One user's resolved schedule: the value that the documents, the print
// dialog, the export wizard and kadrel-cli's export take for a user's year.
// A TShiftUser converts to it implicitly, as its rotation alone, so that
// whoever holds only that gets exactly the documents it always got.
class TUserSchedule {
 public:
  // `times`: the folder's duty times and zone (schedule/uTimedDuty.h), for
  // the documents that show hours; none shows every duty all day.
  TUserSchedule(std::shared_ptr<const TRotaSnapshot> snapshot, std::size_t user,
                std::shared_ptr<const TFolderTimes> times = nullptr);
  TUserSchedule(const TShiftUser& rotation);  // NOLINT(google-explicit-constructor)

  // The user's name as stored, GBK.
  const std::string& Name() const { return snapshot_->UserName(user_); }
  // The day's texts point into the snapshot, which this object keeps alive.
  TResolvedDay Day(std::int64_t day) const { return snapshot_->Resolve(user_, static_cast<TDateTime>(day)); }
  const TRotaSnapshot& Snapshot() const { return *snapshot_; }
  std::size_t User() const { return user_; }
  // Null when the schedule was made without them.
  const TFolderTimes* Times() const { return times_.get(); }

 private:
  std::shared_ptr<const TRotaSnapshot> snapshot_;
  std::size_t user_ = 0;
  std::shared_ptr<const TFolderTimes> times_;
};

}  // namespace kadrel
