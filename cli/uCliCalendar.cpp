// The calendar commands: a day's record, a range of lunar dates with their
// holiday marks, and a user's duties counted against the holidays. Names are
// GBK in the core and UTF-8 here.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

#include "calendar/uCalend.h"
#include "calendar/uCalendDay.h"
#include "calendar/uHoliday.h"
#include "cli/uCliCommands.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "schedule/uRotaResolver.h"

namespace kadrel {
namespace {

// Chinese weekdays, as the program shows them everywhere else.
constexpr std::array<std::string_view, 7> kWeekdays = {"星期日", "星期一", "星期二", "星期三",
                                                       "星期四", "星期五", "星期六"};

TCalendKD DayRecord(std::int64_t serial) {
  const TYmd ymd = DecodeDate(serial);
  TCalendKD kd;
  kd.Year = ymd.Year;
  kd.Month = ymd.Month;
  kd.Day = ymd.Day;
  FillDay(kd);
  return kd;
}

struct TDayArgs {
  std::string Date;
  std::optional<std::string> User;
};

// DATE and --user NAME in either order.
std::optional<TDayArgs> ParseDayArgs(TCliContext& ctx, int& rc) {
  TDayArgs parsed;
  bool haveDate = false;
  for (std::size_t i = 0; i < ctx.Args.size(); ++i) {
    const std::string& a = ctx.Args[i];
    if (a == "--user" || a.starts_with("--user=")) {
      std::string name = a == "--user" ? (i + 1 < ctx.Args.size() ? ctx.Args[++i] : "") : a.substr(7);
      if (name.empty() || parsed.User) {
        rc = UsageError(ctx, parsed.User ? "--user given twice" : "--user needs a name");
        return std::nullopt;
      }
      parsed.User = name;
    } else if (!haveDate && !a.starts_with("--")) {  // -N is a date
      parsed.Date = a;
      haveDate = true;
    } else {
      rc = UsageError(ctx, "unexpected argument " + a);
      return std::nullopt;
    }
  }
  if (!haveDate) {
    rc = UsageError(ctx, "no date given");
    return std::nullopt;
  }
  return parsed;
}

std::string JsonOrNull(const std::string& gbk) { return gbk.empty() ? "null" : JsonText(ShowText(gbk)); }

// The holiday keys of a day's JSON object, with the same meaning as the three
// text columns: "mark" is "休", "班" or null.
std::string HolidayJson(const TCalendKD& kd) {
  const THolidayColumns c = HolidayColumnsOf(kd);
  return ",\"mark\":" + (c.Mark.empty() ? std::string("null") : JsonText(c.Mark)) +
         ",\"festival\":" + (c.Festival.empty() ? std::string("null") : JsonText(c.Festival)) +
         ",\"statutory\":" + (kd.Statutory ? "true" : "false");
}
int PrintDayJson(TCliContext& ctx, std::int64_t day, const TCalendKD& kd, const TUserSchedule* user) {
  ctx.Out << "{\"date\":\"" << FormatIsoDate(day) << "\",\"weekday\":\""
          << kWeekdays[static_cast<std::size_t>(DayOfWeekSerial(day) - 1)] << "\",\"lunar\":";
  if (kd.YearName.empty()) {
    ctx.Out << "null";
  } else {
    ctx.Out << "{\"year\":" << JsonText(ShowText(kd.YearName)) << ",\"month\":" << JsonText(ShowText(kd.MonthName))
            << ",\"day\":" << JsonText(ShowText(kd.DayName)) << '}';
  }
  ctx.Out << ",\"term\":" << JsonOrNull(kd.TermName) << HolidayJson(kd);
  if (user) {
    const TResolvedDay resolved = user->Day(day);
    const std::string duty = DayDutyText(resolved);
    ctx.Out << ",\"user\":" << JsonText(ShowText(user->Name())) << ",\"duty\":" << JsonOrNull(duty)
            << DayChangeJson(resolved);
  }
  ctx.Out << "}\n";
  return kExitOk;
}

// One row of `stats`.
struct TDutyCount {
  std::string Name;  // GBK
  long Days = 0, Statutory = 0, OtherOff = 0, MakeUp = 0;
};

// The rows of one table, in the order their names first occur; a cycle has
// a handful of duty kinds, so a linear search beats a map.
class TDutyCounts {
 public:
  void Count(const std::string& name, const THolidayDay& day) {
    auto row = std::find_if(rows_.begin(), rows_.end(), [&](const TDutyCount& r) { return r.Name == name; });
    if (row == rows_.end()) row = rows_.insert(rows_.end(), TDutyCount{name});
    ++row->Days;
    row->Statutory += day.Statutory;
    row->OtherOff += day.Mark == THolidayMark::Off && !day.Statutory;
    row->MakeUp += day.Mark == THolidayMark::Work;
  }
  const std::vector<TDutyCount>& Rows() const { return rows_; }

 private:
  std::vector<TDutyCount> rows_;
};

}  // namespace

THolidayColumns HolidayColumnsOf(const TCalendKD& day) {
  if (day.Mark == THolidayMark::None) return {};
  return {day.Mark == THolidayMark::Off ? "休" : "班", ShowText(day.Festival), day.Statutory ? "法定" : ""};
}

std::string JoinHolidayColumns(const THolidayColumns& c) { return c.Mark + '\t' + c.Festival + '\t' + c.Statutory; }

void ReportHolidayMessages(TCliContext& ctx) {
  for (const std::string& message : HolidayMessages()) ctx.Err << "kadrel-cli: warning: " << message << " (line ignored)\n";
}

int CmdDay(TCliContext& ctx) {
  int rc = kExitOk;
  auto args = ParseDayArgs(ctx, rc);
  if (!args) return rc;
  auto day = ParseCliDate(args->Date);
  if (!day) return UsageError(ctx, "the date must be YYYY-MM-DD, today, tomorrow, yesterday, +N or -N");
  // The user is loaded before anything is printed, so a failure prints nothing.
  std::optional<TUserSchedule> user;
  if (args->User) {
    if (int loaded = LoadCliSchedule(ctx, *args->User, user)) return loaded;
  }

  ReportHolidayMessages(ctx);
  const TCalendKD kd = DayRecord(*day);
  if (ctx.Json) return PrintDayJson(ctx, *day, kd, user ? &*user : nullptr);
  ctx.Out << FormatIsoDate(*day) << '\t' << kWeekdays[static_cast<std::size_t>(DayOfWeekSerial(*day) - 1)] << '\n';
  if (kd.YearName.empty())
    ctx.Out << "农历\t无（农历只有1901年至2050年）\n";
  else
    ctx.Out << "农历\t" << ShowText(kd.YearName) << ' ' << ShowText(kd.MonthName) << ShowText(kd.DayName) << '\n';
  if (!kd.TermName.empty()) ctx.Out << "节气\t" << ShowText(kd.TermName) << '\n';
  if (kd.Mark != THolidayMark::None) ctx.Out << "节假日\t" << JoinHolidayColumns(HolidayColumnsOf(kd)) << '\n';
  if (user) {
    // A day without a duty is either one of a user without a rotation or one
    // an exception left without a duty; the change lines tell which.
    const TResolvedDay resolved = user->Day(*day);
    const std::string duty = DayDutyText(resolved);
    const bool changed = resolved.Kind != TExceptionKind::None;
    ctx.Out << "值班\t" << (duty.empty() ? (changed ? ShowText(NoDutyText()) : "（无轮班）") : ShowText(duty)) << '\n';
    for (const std::string& line : DayHoverLines(resolved)) ctx.Out << "调整\t" << ShowText(line) << '\n';
  }
  return kExitOk;
}

int CmdDays(TCliContext& ctx) {
  int rc = kExitOk;
  auto range = ParseFromTo(ctx, ctx.Args[0], ctx.Args.size() > 1 ? &ctx.Args[1] : nullptr, rc);
  if (!range) return rc;
  const std::int64_t *from = &range->First, *to = &range->Last;

  ReportHolidayMessages(ctx);
  TGbkToUtf8Cache utf8;
  TCalendKD kd;
  std::string line;
  for (std::int64_t serial = *from; serial <= *to; ++serial) {
    const TYmd ymd = DecodeDate(serial);
    kd.Year = ymd.Year;
    kd.Month = ymd.Month;
    kd.Day = ymd.Day;
    FillDay(kd);
    int lunarYear = 0, lunarMonth = 0, lunarDay = 0;
    bool isLeap = false;
    SolarToLunar(ymd.Year, ymd.Month, ymd.Day, lunarYear, lunarMonth, isLeap, lunarDay);
    if (ctx.Json) {
      ctx.Out << (serial == *from ? "[" : ",") << "{\"date\":\"" << FormatIsoDate(serial) << "\",\"lunarYear\":" << lunarYear
              << ",\"lunarMonth\":" << lunarMonth << ",\"leap\":" << (isLeap ? "true" : "false")
              << ",\"lunarDay\":" << lunarDay << ",\"yearName\":" << JsonText(utf8(kd.YearName))
              << ",\"monthName\":" << JsonText(utf8(kd.MonthName)) << ",\"dayName\":" << JsonText(utf8(kd.DayName))
              << ",\"term\":" << (kd.TermName.empty() ? "null" : JsonText(utf8(kd.TermName))) << HolidayJson(kd)
              << '}';
      continue;
    }
    line = FormatIsoDate(serial);
    for (int number : {lunarYear, lunarMonth, isLeap ? 1 : 0, lunarDay}) line.append("\t").append(std::to_string(number));
    for (const std::string* name : {&kd.YearName, &kd.MonthName, &kd.DayName, &kd.TermName})
      line.append("\t").append(utf8(*name));
    line.append("\t").append(JoinHolidayColumns(HolidayColumnsOf(kd)));
    line += '\n';
    ctx.Out << line;
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

// Every duty of a day counts under its name: the day's own (the empty name
// when it has none) and each extra shift beside it. A day of leave counts
// under its leave kind instead, in lines of their own after the duties.
int CmdStats(TCliContext& ctx) {
  int rc = kExitOk;
  auto range = ParseFromTo(ctx, ctx.Args[1], ctx.Args.size() > 2 ? &ctx.Args[2] : nullptr, rc);
  if (!range) return rc;
  std::optional<TUserSchedule> user;
  if (int loaded = LoadCliSchedule(ctx, ctx.Args[0], user)) return loaded;
  ReportHolidayMessages(ctx);

  TDutyCounts duties, leave;
  const THolidayTable& holidays = Holidays();
  for (std::int64_t serial = range->First; serial <= range->Last; ++serial) {
    const TResolvedDay day = user->Day(serial);
    const THolidayDay holiday = holidays.At(serial);
    if (day.Kind == TExceptionKind::Leave) {
      leave.Count(DayLeaveText(day), holiday);
    } else {
      duties.Count(std::string(day.Duty.Name), holiday);
    }
    for (const auto& extra : day.Extras) duties.Count(std::string(extra.Duty.Name), holiday);
  }
  const char* separator = "[";
  for (const auto* table : {&duties, &leave}) {
    for (const TDutyCount& r : table->Rows()) {
      if (!ctx.Json) {
        ctx.Out << ShowText(r.Name) << '\t' << r.Days << '\t' << r.Statutory << '\t' << r.OtherOff << '\t'
                << r.MakeUp << '\n';
        continue;
      }
      ctx.Out << separator << '{' << (table == &leave ? "\"leave\":" : "\"duty\":") << JsonOrNull(r.Name)
              << ",\"days\":" << r.Days << ",\"statutory\":" << r.Statutory << ",\"otherOff\":" << r.OtherOff
              << ",\"makeUp\":" << r.MakeUp << '}';
      separator = ",";
    }
  }
  if (ctx.Json) ctx.Out << (*separator == '[' ? "[" : "") << "]\n";
  return kExitOk;
}

}  // namespace kadrel
