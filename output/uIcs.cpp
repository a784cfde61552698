#include "output/uIcs.h"

#include "output/uScheduleDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "calendar/uCalendDay.h"
#include "platform/uClock.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "schedule/uTimedDuty.h"
#include "platform/uCrc64.h"

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

std::string WallStamp(TWallTime t) {
  const std::int64_t day = WallDay(t);
  const std::int32_t minute = WallMinute(t);
  char buf[16];
  std::snprintf(buf, sizeof buf, "T%02d%02d00", minute / 60, minute % 60);
  return IcsDate(day) + buf;
}

// Exact hours and minutes, never days: a day of DURATION is a calendar day,
// which the night the clocks change is not 24 hours long.
std::string Minutes(std::int32_t minutes) {
  std::string text = "PT";
  if (minutes >= 60) {
    text += std::to_string(minutes / 60);
    text += 'H';
  }
  if (minutes % 60 != 0 || minutes < 60) {
    text += std::to_string(minutes % 60);
    text += 'M';
  }
  return text;
}

class TEventWriter {
 public:
  TEventWriter(const TUserSchedule& user, std::string_view dtstamp, const TIcsOptions& options)
      : user_(user),
        dtstamp_(dtstamp),
        options_(options),
        key_(options.Key.empty() ? KeyOfName(user.Name()) : options.Key) {
    out_.reserve(300 * 366);
    if (user.Times()) placer_.emplace(user.Times()->Zone);
  }

  void AddDay(std::int64_t serial) {
    const TYmd ymd = DecodeDate(serial);
    const int year = ymd.Year, month = ymd.Month, dayOfMonth = ymd.Day;
    const TResolvedDay day = user_.Day(serial);
    std::vector<TTimedDuty> duties;
    if (const TFolderTimes* times = user_.Times()) duties = DayDuties(day, serial, times->Times);
    const bool allRest = !duties.empty() && std::all_of(duties.begin(), duties.end(), [](const TTimedDuty& d) { return d.Rest; });
    if (options_.NoRest && allRest) return;
    if (std::none_of(duties.begin(), duties.end(), [](const TTimedDuty& d) { return d.Timed(); })) {
      std::string duty = DayDutyText(day);
      if (duty.empty()) {
        if (day.Kind == TExceptionKind::None) return;
        duty = NoDutyText();
      }
      StartDay(day, serial, year, month, dayOfMonth);
      AllDayEvent(NextUid(0), duty);
      return;
    }
    StartDay(day, serial, year, month, dayOfMonth);
    AddDutyEvents(day, duties);
  }

  const std::string& Text() const { return out_; }
  std::optional<TUtcTime> FirstTimedStart() const { return firstTimed_; }

 private:
  void StartDay(const TResolvedDay& day, std::int64_t serial, int year, int month, int dayOfMonth) {
    kd_ = DayRecord(year, month, dayOfMonth);
    description_ = IcsEscape(Description(utf8_, kd_, day));
    serial_ = serial;
    dayUid_ = EventUid(key_, serial, "day");
    dayEvents_ = 0;
  }

  // The day's own part (its duty, or what a leave or a change left of it),
  // then each 加班, as events of their own.
  void AddDutyEvents(const TResolvedDay& day, const std::vector<TTimedDuty>& duties) {
    std::size_t next = 0;
    if (day.Duty.Has) {
      const TTimedDuty& duty = duties[next++];
      if (!(options_.NoRest && duty.Rest)) DutyEvent(duty);
    } else if (day.Kind != TExceptionKind::None && day.Kind != TExceptionKind::Extra) {
      TResolvedDay own = day;
      own.Extras.clear();
      const std::string text = DayDutyText(own);
      AllDayEvent(NextUid(0), text.empty() ? NoDutyText() : text);
    }
    for (; next < duties.size(); ++next) {
      if (!(options_.NoRest && duties[next].Rest)) DutyEvent(duties[next]);
    }
  }

  // The day's first event has the day's UID; a later one is of the kind
  // "extra" and names the 加班 it comes from.
  std::string NextUid(std::int32_t extraId) {
    if (dayEvents_++ == 0) return dayUid_;
    return EventUid(key_, serial_, "extra" + std::to_string(extraId));
  }

  void AllDayEvent(const std::string& uid, const std::string& gbkSummary) {
    Begin(uid);
    AddLine(out_, "DTSTART;VALUE=DATE:" + IcsDate(serial_));
    // A duration rather than the exclusive end date, which for 31 December
    // 9999 would need a five-digit year.
    AddLine(out_, "DURATION:P1D");
    Describe(gbkSummary, false);
    AddLine(out_, "END:VEVENT");
  }

  void DutyEvent(const TTimedDuty& duty) {
    const std::string name(duty.Duty.Name);
    if (!duty.Timed()) return AllDayEvent(NextUid(duty.ExtraID), name);
    const TDutySpan span = placer_->Place(duty);
    if (!firstTimed_ || span.Begin < *firstTimed_) firstTimed_ = span.Begin;
    Begin(NextUid(duty.ExtraID));
    // The start as the zone's clocks show it: a start the clocks skip is
    // written as the time they show then, which every reader places alike.
    AddLine(out_, "DTSTART;TZID=" + user_.Times()->Zone.Name() + ":" + WallStamp(span.BeginWall));
    AddLine(out_, "DURATION:" + Minutes(duty.Length));
    Describe(name, !duty.Rest);
    if (duty.Remind >= 0) {
      AddLine(out_, "BEGIN:VALARM");
      AddLine(out_, "ACTION:DISPLAY");
      AddLine(out_, "DESCRIPTION:" + IcsEscape(utf8_(name) + " " + FormatClock(WallMinute(span.BeginWall)) + " 开始"));
      AddLine(out_, "TRIGGER:-" + Minutes(duty.Remind));
      AddLine(out_, "END:VALARM");
    }
    AddLine(out_, "END:VEVENT");
  }

  void Begin(const std::string& uid) {
    AddLine(out_, "BEGIN:VEVENT");
    AddLine(out_, "UID:" + uid);
    AddLine(out_, "DTSTAMP:" + std::string(dtstamp_));
  }

  void Describe(const std::string& gbkSummary, bool busy) {
    AddLine(out_, "SUMMARY:" + IcsEscape(utf8_(gbkSummary)));
    AddLine(out_, "DESCRIPTION:" + description_);
    if (kd_.Mark == THolidayMark::Off) AddLine(out_, kd_.Statutory ? "CATEGORIES:法定节假日" : "CATEGORIES:休息日");
    AddLine(out_, busy ? "TRANSP:OPAQUE" : "TRANSP:TRANSPARENT");
  }

  const TUserSchedule& user_;
  std::string_view dtstamp_;
  const TIcsOptions& options_;
  std::string key_;
  std::optional<TDutyPlacer> placer_;
  TGbkToUtf8Cache utf8_;
  std::string out_;
  TCalendKD kd_;
  std::string description_;
  std::int64_t serial_ = 0;
  std::string dayUid_;
  int dayEvents_ = 0;
  std::optional<TUtcTime> firstTimed_;
};

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

std::string WholeCalendar(const TUserSchedule& user, std::string_view name, const TEventWriter& events,
                          const TIcsOptions& options) {
  std::string out;
  out.reserve(1024 + events.Text().size());
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
  if (const std::optional<TUtcTime> first = events.FirstTimedStart()) {
    out += user.Times()->Zone.VTimezone(*first);
  }
  out += events.Text();
  AddLine(out, "END:VCALENDAR");
  return out;
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
  TEventWriter events(user, dtstamp, options);
  for (int m : months) {
    for (int d = 1; d <= DaysOfMonth(year, m); ++d) events.AddDay(EncodeDate(year, m, d));
  }
  return WholeCalendar(user, ScheduleTitle(user, year), events, options);
}

std::string BuildIcsRange(const TUserSchedule& user, std::int64_t first, std::int64_t last, std::string_view dtstamp,
                          const TIcsOptions& options) {
  TEventWriter events(user, dtstamp, options);
  for (std::int64_t day = first; day <= last; ++day) events.AddDay(day);
  static const std::string kOfKadrel = GbkLiteral("的Kadrel");
  return WholeCalendar(user, user.Name() + kOfKadrel, events, options);
}

std::optional<TIoError> SaveAsIcs(const TUserSchedule& user, int year, TMonthSet months,
                                  const std::string& fileName, TFileOps& ops, const TIcsOptions& options) {
  return WriteExportFile(fileName, BuildIcsFile(user, year, months, IcsTimestampNow(), options), {}, ops);
}

}  // namespace kadrel
