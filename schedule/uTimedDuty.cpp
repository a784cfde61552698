#include "schedule/uTimedDuty.h"

#include <algorithm>

#include "schedule/uDayText.h"
#include "schedule/uFolderSettings.h"

namespace kadrel {
namespace {

bool HasOwnTimes(std::int32_t start, std::int32_t length) {
  TTimesError ignored;
  return start >= 0 && CheckOwnTimes(start, length, ignored);
}

TTimedDuty MakeDuty(TDutyRef duty, std::int32_t extraId, std::int64_t day, std::int32_t ownStart,
                    std::int32_t ownLength, const TDutyTimesMap& times) {
  const TDutyTimes kind = times.Of(duty.ID);
  TTimedDuty d{duty, extraId, day, kind.Start, kind.Length, false, kind.Rest, kind.Color, kind.Remind};
  if (HasOwnTimes(ownStart, ownLength)) {
    d.Start = ownStart;
    d.Length = ownLength;
    d.OwnTimes = true;
  }
  return d;
}

std::string StartSuffix(const TTimedDuty& duty) {
  if (!duty.Timed()) return {};
  // Appended rather than concatenated: GCC 12 warns falsely on " " + text.
  std::string suffix(1, ' ');
  suffix += FormatClock(duty.Start);
  return suffix;
}

}  // namespace

TFolderTimes ReadFolderTimes(TScheduleTables& tables) {
  return {TDutyTimesMap(ReadDutyTimes(tables.Times)), FolderTimeZone(ReadSettings(tables.Settings)).Zone};
}

std::vector<TTimedDuty> DayDuties(const TResolvedDay& day, std::int64_t serialDay, const TDutyTimesMap& times) {
  std::vector<TTimedDuty> duties;
  if (day.Duty.Has) {
    const bool set = day.Kind == TExceptionKind::Set;
    duties.push_back(MakeDuty(day.Duty, 0, serialDay, set ? day.Start : -1, set ? day.Length : 0, times));
  }
  for (const TExtraDuty& extra : day.Extras) {
    if (extra.Duty.Has) {
      duties.push_back(MakeDuty(extra.Duty, extra.ExceptionID, serialDay, extra.Start, extra.Length, times));
    }
  }
  return duties;
}

TDutySpan TDutyPlacer::Place(const TTimedDuty& duty) {
  auto toUtc = [&](TWallTime wall) {
    const auto [it, added] = toUtc_.try_emplace(wall.Seconds);
    if (added) it->second = zone_.ToUtc(wall).Seconds;
    return TUtcTime{it->second};
  };
  auto toWall = [&](TUtcTime utc) {
    const auto [it, added] = toWall_.try_emplace(utc.Seconds);
    if (added) it->second = zone_.ToWall(utc).Seconds;
    return TWallTime{it->second};
  };
  TDutySpan span;
  if (duty.Timed()) {
    span.Begin = toUtc(WallTimeOf(duty.Day, duty.Start));
    span.End = {span.Begin.Seconds + std::int64_t{duty.Length} * 60};
    // A start the clocks skip shows as the time they show then.
    span.BeginWall = toWall(span.Begin);
    span.EndWall = toWall(span.End);
  } else {
    span.BeginWall = WallTimeOf(duty.Day, 0);
    span.EndWall = WallTimeOf(duty.Day + 1, 0);
    span.Begin = toUtc(span.BeginWall);
    span.End = toUtc(span.EndWall);
  }
  return span;
}

TDutySpan PlaceDuty(const TTimedDuty& duty, const TTimeZone& zone) { return TDutyPlacer(zone).Place(duty); }

std::string DayDutyTimesText(const TResolvedDay& day, std::int64_t serialDay, const TDutyTimesMap& times) {
  const std::vector<TTimedDuty> duties = DayDuties(day, serialDay, times);
  if (std::none_of(duties.begin(), duties.end(), [](const TTimedDuty& d) { return d.Timed(); })) {
    return DayDutyText(day);
  }
  // The day's own part as DayDutyText words it (a leave's kind, or the duty).
  TResolvedDay own = day;
  own.Extras.clear();
  std::string text = DayDutyText(own);
  std::size_t next = 0;
  if (day.Duty.Has) text += StartSuffix(duties[next++]);
  for (const TExtraDuty& extra : day.Extras) {
    if (!text.empty()) text += '+';
    text += extra.Duty.Name;
    if (extra.Duty.Has) text += StartSuffix(duties[next++]);
  }
  return text;
}

std::optional<TNextDuty> NextDuty(const TRotaSnapshot& snapshot, std::size_t user, const TDutyTimesMap& times,
                                  const TTimeZone& zone, TUtcTime now, bool withRest) {
  if (user >= snapshot.UserCount()) return std::nullopt;
  TDutyPlacer placer(zone);
  // From yesterday: where the clocks go back at midnight, a duty of the day
  // before may start after the first moments of today.
  const std::int64_t first = WallDay(zone.ToWall(now)) - 1;
  for (std::int64_t day = first; day <= first + 367; ++day) {
    std::optional<TNextDuty> best;
    for (const TTimedDuty& duty : DayDuties(snapshot.Resolve(user, static_cast<TDateTime>(day)), day, times)) {
      if (duty.Rest && !withRest) continue;
      const TDutySpan span = placer.Place(duty);
      if (span.Begin >= now && (!best || span.Begin < best->Span.Begin)) best = TNextDuty{duty, span};
    }
    if (best) return best;
  }
  return std::nullopt;
}

}  // namespace kadrel
