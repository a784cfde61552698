#include "output/uRoster.h"

#include <algorithm>
#include <map>

#include "schedule/uDayText.h"

namespace kadrel {

TRoster::TRoster(std::shared_ptr<const TRotaSnapshot> snapshot, TDutyTimesMap times, const THolidayTable& holidays,
                 std::int64_t first, std::int64_t last, std::vector<std::size_t> users)
    : snapshot_(std::move(snapshot)),
      times_(std::move(times)),
      holidays_(holidays),
      first_(first),
      last_(std::max(first, last)),
      users_(std::move(users)) {}

namespace {

TRosterCell CellOf(const TResolvedDay& day, const TDutyTimesMap& times) {
  TRosterCell cell{DayDutyText(day), DayMark(day), day.Kind, day.Duty.ID, kNoColor};
  if (day.Duty.Has) cell.Color = times.Of(day.Duty.ID).Color;
  return cell;
}

}  // namespace

TRosterCell TRoster::Cell(std::size_t row, std::size_t column) const {
  return CellOf(snapshot_->Resolve(users_[row], static_cast<TDateTime>(DayAt(column))), times_);
}

TRosterRow TRoster::Row(std::size_t row) const {
  // Resolved once for the cells and the hours alike.
  const auto days = snapshot_->ResolveRange(users_[row], static_cast<TDateTime>(first_ - kHoursReachBack),
                                            static_cast<TDateTime>(last_));
  TRosterRow built{users_[row], {}, CountResolvedHours(days, first_, last_, times_, holidays_)};
  built.Cells.reserve(DayCount());
  for (std::size_t i = kHoursReachBack; i < days.size(); ++i) built.Cells.push_back(CellOf(days[i], times_));
  return built;
}

std::vector<TRosterKindCount> TRoster::DayCounts() const {
  std::map<std::int32_t, TRosterKindCount> kinds;
  auto count = [&](const TDutyRef& duty, std::size_t column) {
    if (!duty.Has) return;
    auto [it, added] = kinds.try_emplace(duty.ID);
    if (added) it->second = {duty.ID, std::string(duty.Name), std::vector<int>(DayCount(), 0)};
    ++it->second.PerDay[column];
  };
  for (const std::size_t user : users_) {
    for (std::size_t column = 0; column < DayCount(); ++column) {
      const TResolvedDay day = snapshot_->Resolve(user, static_cast<TDateTime>(DayAt(column)));
      count(day.Duty, column);
      for (const TExtraDuty& extra : day.Extras) count(extra.Duty, column);
    }
  }
  std::vector<TRosterKindCount> counts;
  counts.reserve(kinds.size());
  for (auto& [id, kind] : kinds) counts.push_back(std::move(kind));
  return counts;
}

std::vector<long> RosterKindDays(const TRosterRow& row, const std::vector<TRosterKindCount>& kinds) {
  std::vector<long> days;
  days.reserve(kinds.size());
  for (const TRosterKindCount& kind : kinds) {
    long n = 0;
    for (const THoursLine& line : row.Hours.Lines) {
      if (!line.Leave && line.DutyID == kind.DutyID && line.Name == kind.Name) n += line.Days;
    }
    days.push_back(n);
  }
  return days;
}

std::vector<std::size_t> AllRosterUsers(const TRotaSnapshot& snapshot) {
  std::vector<std::size_t> users(snapshot.UserCount());
  for (std::size_t i = 0; i < users.size(); ++i) users[i] = i;
  return users;
}

std::optional<std::vector<std::size_t>> RosterUsers(const TRotaSnapshot& snapshot,
                                                    const std::vector<std::string>& names, std::string& unknown) {
  std::vector<std::size_t> users;
  for (const std::string& name : names) {
    const auto user = snapshot.FindUser(name);
    if (!user) {
      unknown = name;
      return std::nullopt;
    }
    users.push_back(*user);
  }
  return users;
}

}  // namespace kadrel
