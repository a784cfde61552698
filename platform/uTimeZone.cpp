#include "platform/uTimeZone.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <libical/ical.h>

namespace kadrel {
namespace {

constexpr std::int64_t kUnixEpochDay = 25569;  // 1970-01-01 as a serial day
constexpr std::int32_t kShanghaiOffset = 8 * 3600;
// libical expands a zone's rules year by year up to the year asked; beyond
// these years no calendar knows the rules anyway, so the offsets of the
// nearest year in range stand in and no input makes it expand for long.
const std::int64_t kFirstRuledDay = EncodeDate(1800, 1, 1);
const std::int64_t kLastRuledDay = EncodeDate(2200, 12, 31);

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

icaltimezone* Ical(const void* zone) { return static_cast<icaltimezone*>(const_cast<void*>(zone)); }

icaltimetype IcalUtc(TUtcTime t) {
  const std::int64_t day = std::clamp(FloorDiv(t.Seconds, kSecondsPerDay) + kUnixEpochDay, kFirstRuledDay, kLastRuledDay);
  const std::int64_t second = t.Seconds - FloorDiv(t.Seconds, kSecondsPerDay) * kSecondsPerDay;
  const TYmd ymd = DecodeDate(day);
  icaltimetype tt = icaltime_null_time();
  tt.year = ymd.Year;
  tt.month = ymd.Month;
  tt.day = ymd.Day;
  tt.hour = static_cast<int>(second / 3600);
  tt.minute = static_cast<int>(second / 60 % 60);
  tt.second = static_cast<int>(second % 60);
  tt.zone = icaltimezone_get_utc_timezone();
  return tt;
}

std::string OffsetText(std::int32_t offset) {
  char text[16];
  const std::int32_t a = std::abs(offset);
  std::snprintf(text, sizeof text, "%c%02d%02d", offset < 0 ? '-' : '+', a / 3600, a / 60 % 60);
  return text;
}

// A zone of one offset for ever.
std::string FixedVTimezone(const std::string& name, std::int32_t offset) {
  const std::string o = OffsetText(offset);
  return "BEGIN:VTIMEZONE\r\nTZID:" + name + "\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:" + o +
         "\r\nTZOFFSETTO:" + o + "\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
}

bool IsZoneChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '+' ||
         c == '-';
}

std::string FirstLineOf(const char* path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

TWallTime WallTimeOf(std::int64_t day, std::int64_t minute) {
  return {(day - kUnixEpochDay) * kSecondsPerDay + minute * 60};
}

std::int64_t WallDay(TWallTime t) { return FloorDiv(t.Seconds, kSecondsPerDay) + kUnixEpochDay; }

std::int32_t WallMinute(TWallTime t) {
  return static_cast<std::int32_t>((t.Seconds - FloorDiv(t.Seconds, kSecondsPerDay) * kSecondsPerDay) / 60);
}

std::string FormatWallTime(TWallTime t) {
  char clock[16];
  const std::int32_t minute = WallMinute(t);
  std::snprintf(clock, sizeof clock, "%02d:%02d", minute / 60, minute % 60);
  return FormatIsoDate(WallDay(t)) + " " + clock;
}

TDateTime UtcDateTime(TUtcTime t) {
  return static_cast<double>(t.Seconds) / kSecondsPerDay + static_cast<double>(kUnixEpochDay);
}

std::optional<TUtcTime> UtcOfDateTime(TDateTime t) {
  if (!IsUsableDate(t)) return std::nullopt;
  return TUtcTime{std::llround((t - static_cast<double>(kUnixEpochDay)) * kSecondsPerDay)};
}

bool IsTimeZoneName(std::string_view name) {
  if (name.empty() || name.size() > 64 || name.starts_with("right/")) return false;
  std::size_t part = 0;  // bytes of the current part
  for (char c : name) {
    if (c == '/') {
      if (part == 0) return false;
      part = 0;
    } else if (IsZoneChar(c)) {
      ++part;
    } else {
      return false;
    }
  }
  return part > 0;
}

bool IsUtcZoneName(std::string_view name) {
  if (name.starts_with("Etc/")) name.remove_prefix(4);
  static constexpr std::array<std::string_view, 9> kNames = {"UTC", "UCT", "Universal", "Zulu", "GMT",
                                                             "GMT0", "GMT+0", "GMT-0", "Greenwich"};
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

std::optional<TTimeZone> TTimeZone::Find(std::string_view name) {
  if (!IsTimeZoneName(name)) return std::nullopt;
  const std::string text(name);
  // libical answers the names of UTC with its own UTC, which has no rules
  // to write out.
  if (IsUtcZoneName(name)) return TTimeZone(text, nullptr, 0);
  icaltimezone* zone = icaltimezone_get_builtin_timezone(text.c_str());
  if (zone && zone != icaltimezone_get_utc_timezone()) return TTimeZone(text, zone, 0);
  if (name == kShanghaiZone) return TTimeZone(text, nullptr, kShanghaiOffset);
  return std::nullopt;
}

TTimeZone TTimeZone::Shanghai() { return *Find(kShanghaiZone); }

std::int32_t TTimeZone::OffsetAt(TUtcTime t) const {
  if (!zone_) return fixedOffset_;
  icaltimetype tt = IcalUtc(t);
  int daylight = 0;
  return icaltimezone_get_utc_offset_of_utc_time(Ical(zone_), &tt, &daylight);
}

TWallTime TTimeZone::ToWall(TUtcTime t) const { return {t.Seconds + OffsetAt(t)}; }

TUtcTime TTimeZone::ToUtc(TWallTime t) const {
  if (!zone_) return {t.Seconds - fixedOffset_};
  // No change of the clocks moves them by a day, so the offsets a day
  // either side are the two a wall time can have.
  const std::int32_t before = OffsetAt({t.Seconds - kSecondsPerDay});
  const std::int32_t after = OffsetAt({t.Seconds + kSecondsPerDay});
  std::optional<TUtcTime> first;
  for (std::int32_t offset : {before, after}) {
    const TUtcTime u{t.Seconds - offset};
    if (OffsetAt(u) == offset && (!first || u < *first)) first = u;
    if (before == after) break;
  }
  return first ? *first : TUtcTime{t.Seconds - before};
}

std::string TTimeZone::VTimezone(TUtcTime from) const {
  if (!zone_) return FixedVTimezone(name_, fixedOffset_);
  icalcomponent* vtz = icalcomponent_new_clone(icaltimezone_get_component(Ical(zone_)));
  if (!vtz) return FixedVTimezone(name_, OffsetAt(from));
  icaltimezone_truncate_vtimezone(vtz, IcalUtc(from), icaltime_null_time(), 0);
  // libical names its zones by its own prefix and location; the file names
  // the zone as the folder does, which every reader of iCalendar knows.
  for (icalproperty_kind kind : {ICAL_TZID_PROPERTY, ICAL_X_PROPERTY}) {
    while (icalproperty* p = icalcomponent_get_first_property(vtz, kind)) {
      icalcomponent_remove_property(vtz, p);
      icalproperty_free(p);
    }
  }
  icalcomponent_add_property(vtz, icalproperty_new_tzid(name_.c_str()));
  char* text = icalcomponent_as_ical_string_r(vtz);
  icalcomponent_free(vtz);
  std::string result = text ? text : "";
  std::free(text);
  return result;
}

std::string ZoneNameOfPath(std::string_view path) {
  constexpr std::string_view kFolder = "zoneinfo/";
  const std::size_t at = path.rfind(kFolder);
  if (at == std::string_view::npos) return {};
  const std::string_view name = path.substr(at + kFolder.size());
  return IsTimeZoneName(name) ? std::string(name) : std::string();
}

std::string SystemTimeZoneName() {
  auto known = [](std::string_view name) { return TTimeZone::Find(name) ? std::string(name) : std::string(); };
  if (const char* tz = std::getenv("TZ"); tz && *tz) {
    std::string_view name = tz;
    if (name.starts_with(':')) name.remove_prefix(1);
    return known(name.starts_with('/') ? ZoneNameOfPath(name) : name);
  }
  std::array<char, 4096> link{};
  const ssize_t n = ::readlink("/etc/localtime", link.data(), link.size() - 1);
  if (n > 0) {
    if (std::string name = known(ZoneNameOfPath({link.data(), static_cast<std::size_t>(n)})); !name.empty()) {
      return name;
    }
  }
  return known(FirstLineOf("/etc/timezone"));
}

}  // namespace kadrel
