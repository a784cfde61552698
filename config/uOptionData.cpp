#include "config/uOptionData.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

#include "platform/uGbk.h"

namespace kadrel {
namespace {

std::string DutyKindName(TScheduleRecords& records, std::int32_t id) {
  if (id < 0) return {};
  const std::optional<TDutyKindRecord> kind = records.FindDutyKind(id);
  return kind ? kind->Name : std::string();
}

}  // namespace

std::string LongTimeText(TDateTime t) {
  if (!std::isfinite(t)) return {};
  constexpr long long kMsPerDay = 86400000;
  long long ms = std::llround(std::fabs(t - std::trunc(t)) * kMsPerDay);
  if (ms >= kMsPerDay) ms = kMsPerDay - 1;  // a fraction a hair below 1 is still 23:59:59
  const long long seconds = ms / 1000;
  char text[16];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::int32_t SchemePlaceId(const TStoredCycle& cycle, std::int32_t place) {
  if (place < 0 || cycle.Count < place) return -1;
  const auto at = static_cast<std::size_t>(place);
  if (at >= cycle.Entries.size() || !cycle.Entries[at]) return -1;
  return *cycle.Entries[at];
}

std::vector<TUserRow> ReadUserRows(TScheduleRecords& records) {
  std::vector<TUserRow> rows;
  for (const TUserRecord& user : records.Users()) {
    TUserRow row{user.Slot, user.Name, {}, {}};
    if (const std::optional<TSchemeRecord> scheme = records.FindScheme(user.ShiftID)) {
      row.SchemeName = scheme->Name;
      const std::int32_t dutyId = SchemePlaceId(*records.StoredCycle(user.ShiftID), user.FirstID);
      row.StartText = LongTimeText(user.Start) + DutyKindName(records, dutyId);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::string> SchemeCycleNames(TScheduleRecords& records, std::int32_t id) {
  static const std::string kNotFound = GbkLiteral("没有找到");
  std::vector<std::string> names;
  const std::optional<TStoredCycle> cycle = records.StoredCycle(id);
  if (!cycle) return names;
  for (const auto& entry : cycle->Entries) {
    if (!entry) {
      names.push_back(kNotFound);
    } else if (const std::optional<TDutyKindRecord> kind = records.FindDutyKind(*entry)) {
      names.push_back(kind->Name);
    }
  }
  return names;
}

}  // namespace kadrel
