// The calendar commands: a day's record, a range of lunar dates with their
// holiday marks, and a user's duties counted against the holidays. Names are
// GBK in the core and UTF-8 here.
#include <algorithm>
#include <unordered_map>
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

// A day's record with its lunar date as numbers, which the record only
// holds as names.
struct TDayFacts {
  TCalendKD Kd;
  int LunarYear = 0, LunarMonth = 0, LunarDay = 0;
  bool Leap = false;
};

void FillDayFacts(std::int64_t serial, TDayFacts& facts) {
  const TYmd ymd = DecodeDate(serial);
  facts.Kd.Year = ymd.Year;
  facts.Kd.Month = ymd.Month;
  facts.Kd.Day = ymd.Day;
  FillDay(facts.Kd);
  SolarToLunar(ymd.Year, ymd.Month, ymd.Day, facts.LunarYear, facts.LunarMonth, facts.Leap, facts.LunarDay);
}

// Outside its tables the calendar knows no lunar date, so a day there is
// refused rather than shown without one.
int RefuseOutsideCalendar(TCliContext& ctx, std::int64_t first, std::int64_t last) {
  const std::int64_t begin = EncodeDate(kFirstCalendYear, 1, 1), end = EncodeDate(kLastCalendYear, 12, 31);
  if (first >= begin && last <= end) return kExitOk;
  return DataError(ctx, FormatIsoDate(first < begin ? first : last) + " lies outside the calendar, which covers " +
                            FormatIsoDate(begin) + " to " + FormatIsoDate(end));
}

int YearOf(std::int64_t serial) { return DecodeDate(serial).Year; }

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

std::string JsonOrNull(const std::string& utf8) { return utf8.empty() ? "null" : JsonText(utf8); }

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

std::string TDayJson::Calendar(std::int64_t serial) {
  auto [at, added] = calendar_.try_emplace(serial);
  if (!added) return at->second;
  const std::int64_t begin = EncodeDate(kFirstCalendYear, 1, 1), end = EncodeDate(kLastCalendYear, 12, 31);
  TJsonObject day;
  day.Add("date", JsonText(FormatIsoDate(serial)))
      .Add("weekday", JsonText(kWeekdays[static_cast<std::size_t>(DayOfWeekSerial(serial) - 1)]));
  if (serial < begin || serial > end) {
    for (const char* key : {"lunarYear", "lunarMonth", "leap", "lunarDay", "yearName", "monthName", "dayName", "term",
                            "mark", "festival", "statutory"})
      day.Add(key, "null");
  } else {
    TDayFacts f;
    FillDayFacts(serial, f);
    const THolidayColumns c = HolidayColumnsOf(f.Kd);
    day.Add("lunarYear", f.LunarYear)
        .Add("lunarMonth", f.LunarMonth)
        .Add("leap", f.Leap ? "true" : "false")
        .Add("lunarDay", f.LunarDay)
        .Add("yearName", JsonOrNull(utf8_(f.Kd.YearName)))
        .Add("monthName", JsonOrNull(utf8_(f.Kd.MonthName)))
        .Add("dayName", JsonOrNull(utf8_(f.Kd.DayName)))
        .Add("term", JsonOrNull(utf8_(f.Kd.TermName)))
        .Add("mark", JsonOrNull(c.Mark))
        .Add("festival", JsonOrNull(c.Festival))
        .Add("statutory", f.Kd.Statutory ? "true" : "false");
  }
  std::string json = day.Close();
  json.pop_back();  // the user's part follows
  return at->second = json;
}

std::string TDayJson::Of(std::int64_t serial, const std::string* userGbk, const TResolvedDay* day) {
  std::string json = Calendar(serial) + ",\"user\":" + (userGbk ? JsonText(ShowText(*userGbk)) : "null");
  const std::string duty = day ? ShowText(DayDutyText(*day)) : std::string();
  json += ",\"duty\":" + JsonOrNull(duty);
  const std::string change = day ? DayChangeJson(*day) : std::string();
  return json + (change.empty() ? ",\"change\":null" : change) + '}';
}

THolidayColumns HolidayColumnsOf(const TCalendKD& day) {
  if (day.Mark == THolidayMark::None) return {};
  return {day.Mark == THolidayMark::Off ? "休" : "班", ShowText(day.Festival), day.Statutory ? "法定" : ""};
}

std::string JoinHolidayColumns(const THolidayColumns& c) { return c.Mark + '\t' + c.Festival + '\t' + c.Statutory; }

void ReportHolidayMessages(TCliContext& ctx, int firstYear, int lastYear) {
  for (const THolidayMessage& message : HolidayMessages())
    ctx.Err << "kadrel-cli: warning: " << HolidayMessageText(message) << (message.Line > 0 ? " (line ignored)\n" : "\n");
  if (auto unknown = ArrangementWarning(Holidays(), firstYear, lastYear))
    ctx.Err << "kadrel-cli: warning: " << HolidayMessageText(*unknown) << '\n';
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

  if (int refused = RefuseOutsideCalendar(ctx, *day, *day)) return refused;
  ReportHolidayMessages(ctx, YearOf(*day), YearOf(*day));
  TDayFacts facts;
  FillDayFacts(*day, facts);
  const TCalendKD& kd = facts.Kd;
  std::optional<TResolvedDay> resolved;
  if (user) resolved = user->Day(*day);
  const std::string duty = resolved ? DayDutyText(*resolved) : std::string();
  if (ctx.Json) {
    const std::string name = user ? user->Name() : std::string();
    ctx.Out << TDayJson().Of(*day, user ? &name : nullptr, resolved ? &*resolved : nullptr) << '\n';
    return kExitOk;
  }
  ctx.Out << FormatIsoDate(*day) << '\t' << kWeekdays[static_cast<std::size_t>(DayOfWeekSerial(*day) - 1)] << '\n';
  ctx.Out << "农历\t" << ShowText(kd.YearName) << ' ' << ShowText(kd.MonthName) << ShowText(kd.DayName) << '\n';
  if (!kd.TermName.empty()) ctx.Out << "节气\t" << ShowText(kd.TermName) << '\n';
  if (kd.Mark != THolidayMark::None) ctx.Out << "节假日\t" << JoinHolidayColumns(HolidayColumnsOf(kd)) << '\n';
  if (resolved) {
    // A day without a duty is either one of a user without a rotation or one
    // an exception left without a duty; the change lines tell which.
    const bool changed = resolved->Kind != TExceptionKind::None;
    ctx.Out << "值班\t" << (duty.empty() ? (changed ? ShowText(NoDutyText()) : "（无轮班）") : ShowText(duty)) << '\n';
    for (const std::string& line : DayHoverLines(*resolved)) ctx.Out << "调整\t" << ShowText(line) << '\n';
  }
  return kExitOk;
}

int CmdDays(TCliContext& ctx) {
  int rc = kExitOk;
  auto range = ParseFromTo(ctx, ctx.Args[0], ctx.Args.size() > 1 ? &ctx.Args[1] : nullptr, rc);
  if (!range) return rc;
  const std::int64_t *from = &range->First, *to = &range->Last;

  if (int refused = RefuseOutsideCalendar(ctx, *from, *to)) return refused;
  ReportHolidayMessages(ctx, YearOf(*from), YearOf(*to));
  TGbkToUtf8Cache utf8;
  TDayJson json;
  TDayFacts facts;
  std::string line;
  for (std::int64_t serial = *from; serial <= *to; ++serial) {
    FillDayFacts(serial, facts);
    if (ctx.Json) {
      ctx.Out << (serial == *from ? "[" : ",") << json.Of(serial);
      continue;
    }
    line = FormatIsoDate(serial);
    for (int number : {facts.LunarYear, facts.LunarMonth, facts.Leap ? 1 : 0, facts.LunarDay})
      line.append("\t").append(std::to_string(number));
    for (const std::string* name : {&facts.Kd.YearName, &facts.Kd.MonthName, &facts.Kd.DayName, &facts.Kd.TermName})
      line.append("\t").append(utf8(*name));
    line.append("\t").append(JoinHolidayColumns(HolidayColumnsOf(facts.Kd)));
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
  if (std::erase(ctx.Args, "--hours")) return CmdStatsHours(ctx);
  if (ctx.Args.size() > 3) return UsageError(ctx, "unexpected argument " + ctx.Args[3]);
  int rc = kExitOk;
  auto range = ParseFromTo(ctx, ctx.Args[1], ctx.Args.size() > 2 ? &ctx.Args[2] : nullptr, rc);
  if (!range) return rc;
  std::optional<TUserSchedule> user;
  if (int loaded = LoadCliSchedule(ctx, ctx.Args[0], user)) return loaded;
  ReportHolidayMessages(ctx, YearOf(range->First), YearOf(range->Last));
  if (YearOf(range->First) < kFirstHolidayYear || YearOf(range->Last) > kLastHolidayYear)
    ctx.Err << "kadrel-cli: warning: holidays are known from " << kFirstHolidayYear << " to " << kLastHolidayYear
            << "; the days outside count none\n";

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
      ctx.Out << separator << '{' << (table == &leave ? "\"leave\":" : "\"duty\":") << JsonOrNull(ShowText(r.Name))
              << ",\"days\":" << r.Days << ",\"statutory\":" << r.Statutory << ",\"otherOff\":" << r.OtherOff
              << ",\"makeUp\":" << r.MakeUp << '}';
      separator = ",";
    }
  }
  if (ctx.Json) ctx.Out << (*separator == '[' ? "[" : "") << "]\n";
  return kExitOk;
}

}  // namespace kadrel
