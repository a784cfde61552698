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

std::vector<TSchemeSpan> ReadSchemeSpans(TScheduleRecords& records, TRotaRecords& rota, std::string_view user) {
  const std::optional<TUserRecord> current = records.FindUser(user);
  if (!current) return {};
  auto named = [&](std::int32_t shiftId) {
    const std::optional<TSchemeRecord> scheme = shiftId > 0 ? records.FindScheme(shiftId) : std::nullopt;
    return scheme ? scheme->Name : std::string();
  };
  // Of records that end on the same day the most recent holds, as the
  // resolver takes it.
  std::vector<THistoryRecord> history;
  for (THistoryRecord& past : rota.HistoryOf(user)) {
    if (!IsUsableDate(past.Until)) continue;
    if (!history.empty() && WholeDays(history.back().Until) == WholeDays(past.Until)) {
      if (past.ID > history.back().ID) history.back() = std::move(past);
    } else {
      history.push_back(std::move(past));
    }
  }
  std::vector<TSchemeSpan> spans;
  std::optional<std::int64_t> from;
  for (const THistoryRecord& past : history) {
    const std::int64_t until = WholeDays(past.Until);
    spans.push_back({from, until - 1, past.ShiftID, named(past.ShiftID)});
    from = until;
  }
  spans.push_back({from, std::nullopt, current->ShiftID, named(current->ShiftID)});
  return spans;
}

}  // namespace kadrel
