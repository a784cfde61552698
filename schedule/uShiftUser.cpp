#include "schedule/uShiftUser.h"

#include <cmath>
#include <optional>
#include <utility>

#include "platform/uDateTime.h"
#include "platform/uGbk.h"

namespace kadrel {
namespace {

// Stored texts are cut to this many bytes, never inside a character.
constexpr std::size_t kNameBytes = 10;

bool IsUsableDay(double t) { return t > -kDayCountLimit && t < kDayCountLimit; }  // false for NaN too

std::string CutName(std::string text) {
  text.resize(GbkCutPoint(text, kNameBytes));
  return text;
}

}  // namespace

void LoadShiftUser(TShiftUser& user, TScheduleRecords& records, const TUserRecord& record) {
  TShiftUser loaded;
  loaded.Name = CutName(record.Name);
  loaded.ShiftID = record.ShiftID;
  loaded.Start = record.Start;
  loaded.FirstID = record.FirstID;
  loaded.Count = -1;

  // A damaged start could not be turned into a day count, so such a user
  // has no cycle rather than an arbitrary one.
  if (IsUsableDay(loaded.Start)) {
    auto cycle = records.UserCycle(loaded.ShiftID);
    if (!cycle.empty()) {
      loaded.worklist.reserve(cycle.size());
      for (auto& entry : cycle) loaded.worklist.push_back(CutName(std::move(entry.Name)));
      loaded.Count = static_cast<std::int32_t>(cycle.size());
      // Held in 64 bits: a damaged FirstID near the int32 limits must not
      // overflow. The sum stays far inside a double's exact integers.
      std::int64_t shift = std::int64_t{loaded.Count} - loaded.FirstID;
      loaded.Start += static_cast<double>(shift);
      loaded.FirstID = 0;
    }
  }
  user = std::move(loaded);
}

bool LoadShiftUser(TShiftUser& user, TScheduleRecords& records, std::string_view name) {
  const std::optional<TUserRecord> record = records.FindUser(name);
  if (!record) {
    user = TShiftUser{};
    return false;
  }
  LoadShiftUser(user, records, *record);
  return true;
}

bool GetDutyName(const TShiftUser& user, TDateTime date, std::string& name) {
  if (user.Count <= 0 || !IsUsableDay(date) || !IsUsableDay(user.Start)) return false;
  // Truncation takes the whole day of both; the remainder is floored so that
  // dates before the start run backwards through the cycle without a seam.
  std::int64_t days = static_cast<std::int64_t>(date) - static_cast<std::int64_t>(user.Start);
  std::int64_t index = days % user.Count;
  if (index < 0) index += user.Count;
  // Only a record filled by hand can break this; it gets no duty, not a crash.
  if (static_cast<std::uint64_t>(index) >= user.worklist.size()) return false;
  name = user.worklist[static_cast<std::size_t>(index)];
  return true;
}

}  // namespace kadrel
