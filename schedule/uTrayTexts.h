// What the tray icon says of a user: today's duties and the next shift with
// its start.
#pragma once

#include <cstddef>
#include <string>

#include "platform/uTimeZone.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uRotaResolver.h"

namespace kadrel {

struct TTrayTexts {
  std::string Today;  // GBK: "今天：夜班 20:00", "今天：无"
  std::string Next;   // GBK: "下一班：夜班 明天20:00", "下一班：无" when none starts within a year
};

// The texts at `now` for user `user` of the snapshot; "today" is the day of
// the folder's zone. Rest duties are no shift; one that starts at `now` is
// still the next.
TTrayTexts TrayTexts(const TRotaSnapshot& snapshot, std::size_t user, const TDutyTimesMap& times,
                     const TTimeZone& zone, TUtcTime now);

}  // namespace kadrel
