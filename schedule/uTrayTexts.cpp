#include "schedule/uTrayTexts.h"

#include "platform/uGbk.h"
#include "schedule/uReminders.h"
#include "schedule/uTimedDuty.h"

namespace kadrel {

TTrayTexts TrayTexts(const TRotaSnapshot& snapshot, std::size_t user, const TDutyTimesMap& times,
                     const TTimeZone& zone, TUtcTime now) {
  static const std::string kToday = GbkLiteral("今天："), kNext = GbkLiteral("下一班："), kNone = GbkLiteral("无");
  const std::int64_t today = WallDay(zone.ToWall(now));
  const std::string duties = DayDutyTimesText(snapshot.Resolve(user, static_cast<TDateTime>(today)), today, times);
  TTrayTexts texts{kToday + (duties.empty() ? kNone : duties), kNext + kNone};
  if (const auto next = NextDuty(snapshot, user, times, zone, now)) {
    texts.Next = kNext + std::string(next->Duty.Duty.Name) + " " + StartText(next->Duty, next->Span, now, zone);
  }
  return texts;
}

}  // namespace kadrel
