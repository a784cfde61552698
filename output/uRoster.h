// The roster of a team: one row per user, one column per day of a range,
// each cell the user's resolved day as `duty` shows it, each row ending in
// the user's days and hours (uHours.h), and a footer that counts, per day,
// the users on each duty kind.
//
// A row is built when it is asked for, so a window over 10,000 users builds
// only the rows it shows; the footer reads every user of the roster, once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/uHoliday.h"
#include "output/uHours.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uRotaResolver.h"

namespace kadrel {

struct TRosterCell {
  std::string Text;                           // DayDutyText, GBK: what `duty` prints
  std::string_view Mark;                      // DayMark: 换, 假, 加, 改 or empty
  TExceptionKind Kind = TExceptionKind::None;
  std::int32_t DutyID = 0;                    // the day's own duty kind; 0 for none
  std::int32_t Color = kNoColor;              // that duty kind's colour
};

struct TRosterRow {
  std::size_t User = 0;  // in the snapshot
  std::vector<TRosterCell> Cells;
  THours Hours;
};

// How many users of the roster are on one duty kind, day by day; the day's
// own duty and its extras both count.
struct TRosterKindCount {
  std::int32_t DutyID = 0;
  std::string Name;  // GBK
  std::vector<int> PerDay;
};

class TRoster {
 public:
  // `users` are indexes of the snapshot, in the order the rows show them;
  // `holidays` must outlive the roster. first <= last.
  TRoster(std::shared_ptr<const TRotaSnapshot> snapshot, TDutyTimesMap times, const THolidayTable& holidays,
          std::int64_t first, std::int64_t last, std::vector<std::size_t> users);

  std::int64_t First() const { return first_; }
  std::int64_t Last() const { return last_; }
  std::size_t DayCount() const { return static_cast<std::size_t>(last_ - first_ + 1); }
  std::size_t RowCount() const { return users_.size(); }
  std::int64_t DayAt(std::size_t column) const { return first_ + static_cast<std::int64_t>(column); }
  THolidayDay HolidayAt(std::size_t column) const { return holidays_.At(DayAt(column)); }
  const THolidayTable& Holidays() const { return holidays_; }
  const std::string& UserName(std::size_t row) const { return snapshot_->UserName(users_[row]); }
  const TRotaSnapshot& Snapshot() const { return *snapshot_; }

  TRosterRow Row(std::size_t row) const;
  TRosterCell Cell(std::size_t row, std::size_t column) const;
  // The duty kinds anyone of the roster works in the range, by ID.
  std::vector<TRosterKindCount> DayCounts() const;

 private:
  std::shared_ptr<const TRotaSnapshot> snapshot_;
  TDutyTimesMap times_;
  const THolidayTable& holidays_;
  std::int64_t first_;
  std::int64_t last_;
  std::vector<std::size_t> users_;
};

// The days the row works each of `kinds` (DayCounts), in that order: the
// columns between a row's days and its hours.
std::vector<long> RosterKindDays(const TRosterRow& row, const std::vector<TRosterKindCount>& kinds);

// Every user of the snapshot, in slot order.
std::vector<std::size_t> AllRosterUsers(const TRotaSnapshot& snapshot);
// The users `names` (GBK) mean, in that order; the first name no user has
// goes to `unknown` and gives nothing.
std::optional<std::vector<std::size_t>> RosterUsers(const TRotaSnapshot& snapshot,
                                                    const std::vector<std::string>& names, std::string& unknown);

}  // namespace kadrel
