// Time zones: where the wall-clock times of a duty ("20:00") meet the
// instants that a phone's calendar, a reminder and the clock count in.
//
// The zone data is the system's own (tzdata in /usr/share/zoneinfo), read
// through libical. Not glibc: glibc knows one zone per process, the TZ
// variable, and switching it (setenv and tzset) changes every local time the
// process shows and races with any thread that asks the time meanwhile.
// libical holds a value per zone, reads the same system files, and writes
// the VTIMEZONE an iCalendar file needs from that same data, so the phone
// and Kadrel's own reminders place a duty at the same instant. No zone rule
// is written here; what is decided here is only what iCalendar decides for
// a wall time that a change of the clocks skips or repeats (RFC 5545,
// 3.3.5), applied to libical's offsets, so that Kadrel agrees with the
// phones that read its files.
//
// Where the data lacks a zone altogether (a system without tzdata), UTC and
// Asia/Shanghai are still known, as fixed offsets: Shanghai has kept +08:00
// without summer time since 1991.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/uDateTime.h"

namespace kadrel {

// An instant: seconds since 1970-01-01 00:00 UTC.
struct TUtcTime {
  std::int64_t Seconds = 0;
  friend auto operator<=>(const TUtcTime&, const TUtcTime&) = default;
};

// What the clocks of a zone show, counted in seconds as if it were UTC:
// 2025-09-30 20:00 on the wall is the count of 2025-09-30 20:00 UTC. Kept
// apart from TUtcTime so that the two are never mixed without a zone.
struct TWallTime {
  std::int64_t Seconds = 0;
  friend auto operator<=>(const TWallTime&, const TWallTime&) = default;
};

inline constexpr std::int64_t kSecondsPerDay = 86400;

// The wall time `minute` minutes after the start of the serial day `day`.
TWallTime WallTimeOf(std::int64_t day, std::int64_t minute);
// The serial day and the minute of that day the wall time falls in.
std::int64_t WallDay(TWallTime t);
std::int32_t WallMinute(TWallTime t);
// "2025-09-30 20:00".
std::string FormatWallTime(TWallTime t);

// An instant as a TDateTime of UTC (days since 1899-12-30), as files store
// one, and back, to the nearest second. A value that is not a usable date
// gives nullopt.
TDateTime UtcDateTime(TUtcTime t);
std::optional<TUtcTime> UtcOfDateTime(TDateTime t);

// The zones a name may give: "Area/Place" of letters, digits, "_", "+" and
// "-", parts separated by "/", at most 64 bytes. Never "." or "..", so that
// a name never leaves the zone folder, nor the "right/" zones, whose clocks
// count leap seconds that no calendar counts.
bool IsTimeZoneName(std::string_view name);
// UTC under any of its names (UTC, Etc/UTC, GMT, Zulu, ...).
bool IsUtcZoneName(std::string_view name);

inline constexpr std::string_view kShanghaiZone = "Asia/Shanghai";

class TTimeZone {
 public:
  // The zone of that name from the system's data; nullopt for a name that
  // IsTimeZoneName refuses or that the data lacks.
  static std::optional<TTimeZone> Find(std::string_view name);
  // Asia/Shanghai, from the data when it has it, else as its fixed offset.
  static TTimeZone Shanghai();

  const std::string& Name() const { return name_; }

  // Seconds east of UTC in force at `t`.
  std::int32_t OffsetAt(TUtcTime t) const;
  TWallTime ToWall(TUtcTime t) const;
  // A wall time the clocks show twice (when they go back) is the first of
  // the two instants; one they skip (when they go forward) is read with the
  // offset from before the change, so 02:30 of that day is 03:30 summer time.
  TUtcTime ToUtc(TWallTime t) const;

  // The zone as an iCalendar component: "BEGIN:VTIMEZONE" to
  // "END:VTIMEZONE", CRLF line ends, lines folded at 75 octets, TZID the
  // zone's name, with the rules in force from `from` on (and none of the
  // centuries before, which only make the file long).
  std::string VTimezone(TUtcTime from) const;

 private:
  TTimeZone(std::string name, const void* zone, std::int32_t fixedOffset)
      : name_(std::move(name)), zone_(zone), fixedOffset_(fixedOffset) {}

  std::string name_;
  const void* zone_ = nullptr;  // libical's zone, which lives as long as the process; null: fixed
  std::int32_t fixedOffset_ = 0;
};

// The system's zone: the TZ variable when it is set, else the zone
// /etc/localtime links to, else the name in /etc/timezone; empty when none
// of them names one (TZ set to a rule such as "CST-8" names none).
std::string SystemTimeZoneName();
// The zone name in a path into the zone folder: ".../zoneinfo/Europe/Berlin"
// gives "Europe/Berlin"; empty when the path has no "zoneinfo/" part.
std::string ZoneNameOfPath(std::string_view path);

}  // namespace kadrel
