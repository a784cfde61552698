#include "schedule/uRotaResolver.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace kadrel {
namespace {

// The days GetDutyName answers for; false for NaN too.
bool IsUsableDay(double t) { return t > -kDayCountLimit && t < kDayCountLimit; }

bool IsDecider(TExceptionKind kind) {
  return kind == TExceptionKind::Set || kind == TExceptionKind::Leave || kind == TExceptionKind::Swap;
}

}  // namespace

std::string DeletedDutyName(std::int32_t id) {
  // Appended rather than concatenated: GCC 12 warns falsely on "#" + text.
  std::string name(1, '#');
  name += std::to_string(id);
  return name;
}

// One assignment as GetDutyName resolves it, with the duty kinds' IDs beside
// the names.
struct TRotaSnapshot::TAssignment {
  TShiftUser Cycle;
  std::vector<std::int32_t> Ids;  // one a place of Cycle.worklist
};

// One exception, by its first day.
struct TRotaSnapshot::TEntry {
  std::int64_t First = 0;
  std::int64_t Last = 0;
  std::int32_t ID = 0;
  TExceptionKind Kind = TExceptionKind::None;
  std::size_t Record = 0;               // in exceptions_
  const std::string* Duty = nullptr;    // a set's or extra's duty kind name; null for none
  std::ptrdiff_t Partner = -1;          // a swap's partner in users_; -1 for none
  bool Noted = false;                   // the record has a note; spares a day the record's texts
};

struct TRotaSnapshot::TUser {
  struct TPast {
    std::int64_t Until = 0;
    std::int32_t ID = 0;
    std::size_t Record = 0;  // in history_
    TAssignment Assignment;
  };
  std::string Name;
  TAssignment Current;
  // Ascending by Until, the most recent first among equal ones; Untils
  // mirrors it for the search.
  std::vector<TPast> Past;
  std::vector<std::int64_t> Untils;
  // Ascending by first day. Firsts and Lasts mirror it, so that the search
  // and the walk touch an entry only when it covers the day.
  std::vector<TEntry> Entries;
  std::vector<std::int64_t> Firsts;
  std::vector<std::int64_t> Lasts;
  // The longest Last - First: how far back a search must look.
  std::int64_t LongestSpan = 0;
};

namespace {

template <typename TAssignment>
TAssignment LoadAssignment(TScheduleRecords& records, const TUserRecord& record) {
  TAssignment a;
  LoadShiftUser(a.Cycle, records, record);
  if (a.Cycle.Count > 0) {
    for (const auto& entry : records.UserCycle(record.ShiftID)) a.Ids.push_back(entry.ID);
  }
  // Both come from the same resolution of the cycle; should they ever
  // differ, the names stay right and only the IDs are unknown.
  if (a.Ids.size() != a.Cycle.worklist.size()) a.Ids.assign(a.Cycle.worklist.size(), 0);
  return a;
}

}  // namespace

TRotaSnapshot::~TRotaSnapshot() = default;

std::shared_ptr<const TRotaSnapshot> TRotaSnapshot::Build(TScheduleRecords& records, TTableStream& exceptions,
                                                          TTableStream& history) {
  std::shared_ptr<TRotaSnapshot> s(new TRotaSnapshot());
  for (auto& kind : records.DutyKinds()) s->dutyNames_.try_emplace(kind.ID, std::move(kind.Name));
  s->exceptions_ = ReadExceptions(exceptions);
  s->history_ = ReadHistory(history);

  const std::vector<TUserRecord> users = records.Users();
  s->users_.resize(users.size());
  for (std::size_t i = 0; i < users.size(); ++i) {
    s->users_[i].Name = users[i].Name;
    s->users_[i].Current = LoadAssignment<TAssignment>(records, users[i]);
    s->byKey_.try_emplace(UserKey(users[i].Name), i);
  }

  for (std::size_t i = 0; i < s->history_.size(); ++i) {
    const THistoryRecord& h = s->history_[i];
    const auto user = s->FindUser(h.User);
    if (!user || !IsUsableDate(h.Until)) continue;
    const TUserRecord assignment{0, h.User, h.ShiftID, h.Start, h.FirstID};
    s->users_[*user].Past.push_back({WholeDays(h.Until), h.ID, i, LoadAssignment<TAssignment>(records, assignment)});
  }

  for (std::size_t i = 0; i < s->exceptions_.size(); ++i) {
    const TExceptionRecord& r = s->exceptions_[i];
    const auto user = s->FindUser(r.User);
    if (!user || !IsExceptionKind(static_cast<std::int32_t>(r.Kind)) || !IsUsableDate(r.First) ||
        !IsUsableDate(r.Last) || r.Last < r.First) {
      continue;
    }
    TEntry e{WholeDays(r.First), WholeDays(r.Last), r.ID, r.Kind, i};
    e.Noted = !r.Note.empty();
    const bool namesDuty = r.Kind == TExceptionKind::Extra || (r.Kind == TExceptionKind::Set && r.DutyID != 0);
    if (namesDuty) e.Duty = &s->dutyNames_.try_emplace(r.DutyID, DeletedDutyName(r.DutyID)).first->second;
    if (r.Kind == TExceptionKind::Swap) {
      if (const auto partner = s->FindUser(r.Partner)) e.Partner = static_cast<std::ptrdiff_t>(*partner);
    }
    s->users_[*user].Entries.push_back(e);
  }

  for (TUser& u : s->users_) {
    std::sort(u.Past.begin(), u.Past.end(),
              [](const auto& a, const auto& b) { return a.Until != b.Until ? a.Until < b.Until : a.ID > b.ID; });
    for (const auto& p : u.Past) u.Untils.push_back(p.Until);
    std::stable_sort(u.Entries.begin(), u.Entries.end(), [](const auto& a, const auto& b) { return a.First < b.First; });
    for (const auto& e : u.Entries) {
      u.Firsts.push_back(e.First);
      u.Lasts.push_back(e.Last);
      u.LongestSpan = std::max(u.LongestSpan, e.Last - e.First);
    }
  }
  return s;
}

std::shared_ptr<const TRotaSnapshot> TRotaSnapshot::OfRotation(const TShiftUser& user) {
  std::shared_ptr<TRotaSnapshot> s(new TRotaSnapshot());
  TUser& only = s->users_.emplace_back();
  only.Name = user.Name;
  only.Current.Cycle = user;
  only.Current.Ids.assign(user.worklist.size(), 0);
  s->byKey_.try_emplace(UserKey(user.Name), 0);
  return s;
}

std::size_t TRotaSnapshot::UserCount() const { return users_.size(); }

const std::string& TRotaSnapshot::UserName(std::size_t user) const { return users_[user].Name; }

std::optional<std::size_t> TRotaSnapshot::FindUser(std::string_view name) const {
  const auto it = byKey_.find(UserKey(name));
  if (it == byKey_.end()) return std::nullopt;
  return it->second;
}

// GetDutyName's arithmetic, giving the place so that the ID comes along.
TDutyRef TRotaSnapshot::Rotation(const TAssignment& assignment, std::int64_t day) const {
  const TShiftUser& u = assignment.Cycle;
  if (u.Count <= 0 || !IsUsableDay(u.Start)) return {};
  std::int64_t index = (day - static_cast<std::int64_t>(u.Start)) % u.Count;
  if (index < 0) index += u.Count;
  if (static_cast<std::uint64_t>(index) >= u.worklist.size()) return {};
  const auto place = static_cast<std::size_t>(index);
  return {true, assignment.Ids[place], u.worklist[place]};
}

TDutyRef TRotaSnapshot::Base(const TUser& user, std::int64_t day) const {
  const auto later = std::upper_bound(user.Untils.begin(), user.Untils.end(), day);
  if (later == user.Untils.end()) return Rotation(user.Current, day);
  return Rotation(user.Past[static_cast<std::size_t>(later - user.Untils.begin())].Assignment, day);
}

template <typename TVisit>
void TRotaSnapshot::ForCovering(const TUser& user, std::int64_t day, TVisit visit) const {
  const auto end = std::upper_bound(user.Firsts.begin(), user.Firsts.end(), day);
  const std::int64_t earliest = day - user.LongestSpan;
  for (auto i = static_cast<std::size_t>(end - user.Firsts.begin()); i-- > 0;) {
    if (user.Firsts[i] < earliest) break;
    if (user.Lasts[i] >= day) visit(user.Entries[i]);
  }
}

namespace {

TDutyRef NamedDuty(std::int32_t id, const std::string* name) {
  if (!name) return {};
  return {true, id, *name};
}

}  // namespace

TDutyRef TRotaSnapshot::PlannedOf(const TUser& user, std::int64_t day, bool withLeave) const {
  const TEntry* latest = nullptr;
  ForCovering(user, day, [&](const TEntry& e) {
    const bool counts = e.Kind == TExceptionKind::Set || (withLeave && e.Kind == TExceptionKind::Leave);
    if (counts && (!latest || e.ID > latest->ID)) latest = &e;
  });
  if (!latest) return Base(user, day);
  return latest->Kind == TExceptionKind::Set ? NamedDuty(exceptions_[latest->Record].DutyID, latest->Duty) : TDutyRef{};
}

TResolvedDay TRotaSnapshot::ResolveDay(const TUser& user, std::int64_t day) const {
  TResolvedDay r;
  r.Duty = r.Replaced = Base(user, day);
  const TEntry* winner = nullptr;
  const TEntry* noted = nullptr;
  ForCovering(user, day, [&](const TEntry& e) {
    if (IsDecider(e.Kind) && (!winner || e.ID > winner->ID)) winner = &e;
    if (e.Kind == TExceptionKind::Extra) {
      const TExceptionRecord& record = exceptions_[e.Record];
      r.Extras.push_back({e.ID, NamedDuty(record.DutyID, e.Duty), record.Start, record.Length});
    }
    if (e.Noted && (!noted || e.ID > noted->ID)) noted = &e;
  });
  std::sort(r.Extras.begin(), r.Extras.end(), [](const auto& a, const auto& b) { return a.ExceptionID < b.ExceptionID; });
  if (noted) r.Note = exceptions_[noted->Record].Note;
  if (!winner) {
    if (!r.Extras.empty()) {
      r.Kind = TExceptionKind::Extra;
      r.ExceptionID = r.Extras.front().ExceptionID;
    } else if (noted) {
      r.Kind = TExceptionKind::Note;
      r.ExceptionID = noted->ID;
    }
    return r;
  }
  const TExceptionRecord& record = exceptions_[winner->Record];
  r.Kind = winner->Kind;
  r.ExceptionID = winner->ID;
  switch (winner->Kind) {
    case TExceptionKind::Set:
      r.Duty = NamedDuty(record.DutyID, winner->Duty);
      r.Start = record.Start;
      r.Length = record.Length;
      break;
    case TExceptionKind::Leave:
      r.Duty = {};
      r.Leave = record.Leave;
      break;
    default:  // a swap
      r.Partner = record.Partner;
      r.Duty = winner->Partner < 0 ? TDutyRef{}
                                   : PlannedOf(users_[static_cast<std::size_t>(winner->Partner)], day, false);
      break;
  }
  return r;
}

TResolvedDay TRotaSnapshot::Resolve(std::size_t user, TDateTime date) const {
  if (user >= users_.size() || !IsUsableDay(date)) return {};
  return ResolveDay(users_[user], static_cast<std::int64_t>(date));
}

std::vector<TResolvedDay> TRotaSnapshot::ResolveRange(std::size_t user, TDateTime first, TDateTime last) const {
  std::vector<TResolvedDay> days;
  if (user >= users_.size() || !IsUsableDate(first) || !IsUsableDate(last) || last < first) return days;
  const std::int64_t from = WholeDays(first), to = WholeDays(last);
  days.reserve(static_cast<std::size_t>(to - from + 1));
  for (std::int64_t day = from; day <= to; ++day) days.push_back(ResolveDay(users_[user], day));
  return days;
}

TDutyRef TRotaSnapshot::Planned(std::size_t user, TDateTime date) const {
  if (user >= users_.size() || !IsUsableDay(date)) return {};
  return PlannedOf(users_[user], static_cast<std::int64_t>(date), true);
}

TDayLayers TRotaSnapshot::Explain(std::size_t user, TDateTime date) const {
  TDayLayers layers;
  if (user >= users_.size() || !IsUsableDay(date)) return layers;
  const TUser& u = users_[user];
  const auto day = static_cast<std::int64_t>(date);
  layers.Rotation = Rotation(u.Current, day);
  const auto later = std::upper_bound(u.Untils.begin(), u.Untils.end(), day);
  if (later != u.Untils.end()) {
    const TUser::TPast& past = u.Past[static_cast<std::size_t>(later - u.Untils.begin())];
    layers.History = history_[past.Record];
    layers.HistoryDuty = Rotation(past.Assignment, day);
  }
  ForCovering(u, day, [&](const TEntry& e) { layers.Exceptions.push_back(exceptions_[e.Record]); });
  std::sort(layers.Exceptions.begin(), layers.Exceptions.end(), [](const auto& a, const auto& b) { return a.ID < b.ID; });
  layers.Result = ResolveDay(u, day);
  return layers;
}

TUserSchedule::TUserSchedule(std::shared_ptr<const TRotaSnapshot> snapshot, std::size_t user,
                             std::shared_ptr<const TFolderTimes> times)
    : snapshot_(std::move(snapshot)), user_(user), times_(std::move(times)) {
  assert(snapshot_ && user_ < snapshot_->UserCount());
}

TUserSchedule::TUserSchedule(const TShiftUser& rotation) : snapshot_(TRotaSnapshot::OfRotation(rotation)) {}

}  // namespace kadrel
