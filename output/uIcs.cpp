#include "output/uIcs.h"

#include "output/uScheduleDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "calendar/uCalendDay.h"
#include "platform/uClock.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "store/uJournal.h"

namespace kadrel {
namespace {

constexpr std::size_t kFoldOctets = 75;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string IcsDate(std::int64_t serial) {
  TYmd d = DecodeDate(serial);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.Year, d.Month, d.Day);
  return buf;
}

std::string EventUid(std::string_view key, std::int64_t serial, std::string_view kind) {
  return UidPrefix(key) + IcsDate(serial) + "-" + std::string(kind);
}

TCalendKD DayRecord(int year, int month, int day) {
  TCalendKD kd;
  kd.Year = year;
  kd.Month = month;
  kd.Day = day;
  FillDay(kd);
  return kd;
}

// The lunar date, on an official day off a line naming the festival, and a
// line for each change of the day, as the hover text has them.
std::string Description(TGbkToUtf8Cache& utf8, const TCalendKD& kd, const TResolvedDay& day) {
  std::string text = "农历" + utf8(kd.YearName) + utf8(kd.MonthName) + utf8(kd.DayName) + utf8(kd.TermName);
  if (kd.Mark == THolidayMark::Off) text += "\n" + utf8(HolidayText(kd));
  for (const std::string& line : DayHoverLines(day)) {
    text += '\n';
    text += GbkToUtf8Lossy(line);
  }
  return text;
}

void AddLine(std::string& out, std::string_view line) {
  out += IcsFold(line);
  out += "\r\n";
}

}  // namespace

std::string IcsEscape(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    char c = utf8[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case ';': out += "\\;"; break;
      case ',': out += "\\,"; break;
      case '\n': out += "\\n"; break;
      case '\r':
        if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        out += "\\n";
        break;
      default:
        // Other control characters are not allowed in a TEXT value (RFC 5545
        // 3.3.11); they can only come from a damaged file, and are dropped.
        if ((static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) || c == '\t') out += c;
    }
  }
  return out;
}

std::string IcsFold(std::string_view line) {
  std::string out;
  std::size_t limit = kFoldOctets;  // the first line has no leading space
  while (line.size() > limit) {
    std::size_t cut = limit;
    while (cut > 0 && IsContinuationByte(line[cut])) --cut;
    out += line.substr(0, cut);
    out += "\r\n ";
    line.remove_prefix(cut);
    limit = kFoldOctets - 1;
  }
  out += line;
  return out;
}

bool HasIcsEvent(std::string_view ics) { return ics.find("\r\nBEGIN:VEVENT\r\n") != std::string_view::npos; }

std::string IcsTimestampNow() {
  // The clock tells local time; the time zone's own rules turn it into UTC.
  const TDateTime now = Now();
  const TYmd day = DecodeDate(WholeDays(now));
  const long seconds = std::lround((now - std::floor(now)) * 86400.0);
  std::tm local{};
  local.tm_year = day.Year - 1900;
  local.tm_mon = day.Month - 1;
  local.tm_mday = day.Day;
  local.tm_sec = static_cast<int>(seconds);
  local.tm_isdst = -1;
  const std::time_t t = std::mktime(&local);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%dT%H%M%SZ", &utc);
  return buf;
}

namespace {

void AppendHead(std::string& out, std::string_view name, const TIcsOptions& options) {
  AddLine(out, "BEGIN:VCALENDAR");
  AddLine(out, "PRODID:-//Kadrel//Kadrel 2.0//ZH");
  AddLine(out, "VERSION:2.0");
  AddLine(out, "CALSCALE:GREGORIAN");
  AddLine(out, "X-WR-CALNAME:" + IcsEscape(GbkToUtf8Lossy(name)));
  if (options.RefreshHours > 0) {
    const std::string every = "PT" + std::to_string(options.RefreshHours) + "H";
    AddLine(out, "REFRESH-INTERVAL;VALUE=DURATION:" + every);
    AddLine(out, "X-PUBLISHED-TTL:" + every);
  }
}

void AppendDay(std::string& out, TGbkToUtf8Cache& utf8, const TUserSchedule& user, const std::string& key,
               std::int64_t serial, std::string_view dtstamp) {
  const TResolvedDay day = user.Day(serial);
  std::string duty = DayDutyText(day);
  if (duty.empty()) {
    if (day.Kind == TExceptionKind::None) return;
    duty = NoDutyText();
  }
  AddLine(out, "BEGIN:VEVENT");
  AddLine(out, "UID:" + EventUid(key, serial, "day"));
  AddLine(out, "DTSTAMP:" + std::string(dtstamp));
  AddLine(out, "DTSTART;VALUE=DATE:" + IcsDate(serial));
  // A duration rather than the exclusive end date, which for 31 December
  // 9999 would need a five-digit year.
  AddLine(out, "DURATION:P1D");
  AddLine(out, "SUMMARY:" + IcsEscape(utf8(duty)));
  const TYmd ymd = DecodeDate(serial);
  const TCalendKD kd = DayRecord(ymd.Year, ymd.Month, ymd.Day);
  AddLine(out, "DESCRIPTION:" + IcsEscape(Description(utf8, kd, day)));
  if (kd.Mark == THolidayMark::Off) AddLine(out, kd.Statutory ? "CATEGORIES:法定节假日" : "CATEGORIES:休息日");
  AddLine(out, "TRANSP:TRANSPARENT");
  AddLine(out, "END:VEVENT");
}

std::string KeyFor(const TUserSchedule& user, const TIcsOptions& options) {
  return options.Key.empty() ? KeyOfName(user.Name()) : options.Key;
}

}  // namespace

std::string UidPrefix(std::string_view key) { return "kadrel-" + std::string(key) + "-"; }

std::string KeyOfName(std::string_view gbkName) {
  char hex[33];
  const auto* bytes = reinterpret_cast<const unsigned char*>(gbkName.data());
  std::snprintf(hex, sizeof hex, "%016llx%016llx", static_cast<unsigned long long>(Crc64(bytes, gbkName.size(), 1)),
                static_cast<unsigned long long>(Crc64(bytes, gbkName.size(), 2)));
  return hex;
}

std::string BuildIcsFile(const TUserSchedule& user, int year, TMonthSet months, std::string_view dtstamp,
                         const TIcsOptions& options) {
  TGbkToUtf8Cache utf8;
  const std::string key = KeyFor(user, options);
  std::string out;
  out.reserve(512 + 300 * 31 * static_cast<std::size_t>(months.Count()));
  AppendHead(out, ScheduleTitle(user, year), options);
  for (int m : months) {
    for (int d = 1; d <= DaysOfMonth(year, m); ++d) AppendDay(out, utf8, user, key, EncodeDate(year, m, d), dtstamp);
  }
  AddLine(out, "END:VCALENDAR");
  return out;
}

std::string BuildIcsRange(const TUserSchedule& user, std::int64_t first, std::int64_t last, std::string_view dtstamp,
                          const TIcsOptions& options) {
  TGbkToUtf8Cache utf8;
  const std::string key = KeyFor(user, options);
  std::string out;
  out.reserve(512 + 300 * static_cast<std::size_t>(std::max<std::int64_t>(last - first + 1, 0)));
  static const std::string kOfKadrel = GbkLiteral("的Kadrel");
  AppendHead(out, user.Name() + kOfKadrel, options);
  for (std::int64_t day = first; day <= last; ++day) AppendDay(out, utf8, user, key, day, dtstamp);
  AddLine(out, "END:VCALENDAR");
  return out;
}

std::optional<TIoError> SaveAsIcs(const TUserSchedule& user, int year, TMonthSet months,
                                  const std::string& fileName, TFileOps& ops, const TIcsOptions& options) {
  return WriteExportFile(fileName, BuildIcsFile(user, year, months, IcsTimestampNow(), options), {}, ops);
}

}  // namespace kadrel
