// The team's commands: the roster of a range, who works on a day, and the
// hours of one user. All three read the resolved days and the duty times
// through the folder, and count hours with the one count of
// output/uHours.h that the roster window uses too.
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/uHoliday.h"
#include "cli/uCliCommands.h"
#include "output/uHours.h"
#include "output/uRoster.h"
#include "output/uRosterDoc.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uTimeFiles.h"

namespace kadrel {
namespace {

// What every team command reads from the folder.
struct TTeam {
  std::shared_ptr<const TRotaSnapshot> Snapshot;
  TDutyTimesMap Times;
};

int LoadTeam(TCliContext& ctx, TTeam& team) {
  TScheduleFolder folder(ctx.DataDir);
  const TOpenFailure failure = folder.Open({TFolderAccess::Read, TWritePolicy::Trimmed});
  if (failure.Failed()) return FolderError(ctx, failure);
  team.Snapshot = folder.Snapshot();
  TTableStream times(TTableStream::kModeReadShared);
  TScheduleError error;
  if (!OpenTimeFileIfAny(times, TTimeFile::Times, ctx.DataDir, TTableStream::kModeReadShared, error)) {
    return DataError(ctx, error.Text() + " (in " + DescribeDataDir(ctx) + ")");
  }
  team.Times = TDutyTimesMap(ReadDutyTimes(times));
  return kExitOk;
}

// A roster is a page of days, and the hours keep every day of their range
// resolved at once; past these a range is a mistake, not a question.
constexpr std::int64_t kMaxRosterDays = 366;
constexpr std::int64_t kMaxHoursDays = 3660;

bool TooLong(TCliContext& ctx, const TCliDayRange& range, std::int64_t most, std::string_view what, int& rc) {
  if (range.Last - range.First < most) return false;
  rc = UsageError(ctx, std::string(what) + " covers at most " + std::to_string(most) + " days");
  return true;
}

// `--name VALUE` or `--name=VALUE`, taken out of ctx.Args; an empty value
// is a usage error.
std::optional<std::string> TakeOption(TCliContext& ctx, std::string_view name, int& rc) {
  const std::string flag = "--" + std::string(name);
  std::optional<std::string> value;
  for (std::size_t i = 0; i < ctx.Args.size();) {
    const std::string& a = ctx.Args[i];
    std::size_t taken = 0;
    std::string given;
    if (a == flag) {
      taken = i + 1 < ctx.Args.size() ? 2 : 1;
      if (taken == 2) given = ctx.Args[i + 1];
    } else if (a.starts_with(flag + "=")) {
      taken = 1;
      given = a.substr(flag.size() + 1);
    }
    if (!taken) {
      ++i;
      continue;
    }
    if (given.empty() || value) {
      rc = UsageError(ctx, value ? flag + " given twice" : flag + " needs a value");
      return std::nullopt;
    }
    value = given;
    ctx.Args.erase(ctx.Args.begin() + static_cast<std::ptrdiff_t>(i),
                   ctx.Args.begin() + static_cast<std::ptrdiff_t>(i + taken));
  }
  return value;
}

// The users of --users A,B,... (UTF-8), or every user.
std::optional<std::vector<std::size_t>> ChooseUsers(TCliContext& ctx, const TRotaSnapshot& snapshot,
                                                    const std::optional<std::string>& list, int& rc) {
  if (!list) return AllRosterUsers(snapshot);
  std::vector<std::string> names;
  for (std::size_t from = 0; from <= list->size();) {
    const std::size_t comma = std::min(list->find(',', from), list->size());
    const std::string name = list->substr(from, comma - from);
    const auto gbk = Utf8ToGbk(name);
    // A name GBK cannot hold is no user's name.
    if (!gbk) {
      rc = DataError(ctx, "no user named " + name + " in " + DescribeDataDir(ctx));
      return std::nullopt;
    }
    names.push_back(*gbk);
    from = comma + 1;
  }
  std::string unknown;
  auto users = RosterUsers(snapshot, names, unknown);
  if (!users) rc = DataError(ctx, "no user named " + ShowText(unknown) + " in " + DescribeDataDir(ctx));
  return users;
}

void PrintRosterJson(TCliContext& ctx, const TRoster& roster, const TRotaSnapshot& snapshot) {
  TDayJson json;
  ctx.Out << '[';
  for (std::size_t r = 0; r < roster.RowCount(); ++r) {
    const TRosterRow row = roster.Row(r);
    const std::string name(roster.UserName(r));
    ctx.Out << (r ? "," : "") << "{\"name\":" << JsonText(ShowText(name)) << ",\"days\":[";
    for (std::size_t c = 0; c < row.Cells.size(); ++c) {
      const TResolvedDay day = snapshot.Resolve(row.User, static_cast<TDateTime>(roster.DayAt(c)));
      ctx.Out << (c ? "," : "") << json.Of(roster.DayAt(c), &name, &day);
    }
    ctx.Out << "],\"duties\":{";
    const char* separator = "";
    for (const THoursLine& line : row.Hours.Lines) {
      if (line.Leave || line.Name.empty() || line.Days == 0) continue;
      ctx.Out << separator << JsonText(ShowText(line.Name)) << ':' << line.Days;
      separator = ",";
    }
    ctx.Out << "},\"leave\":" << row.Hours.LeaveDays
            << ",\"hours\":" << FormatHours(static_cast<double>(row.Hours.Total.Minutes)) << '}';
  }
  ctx.Out << "]\n";
}

std::string Hours(std::int64_t minutes) { return FormatHours(static_cast<double>(minutes)); }

void PrintHours(TCliContext& ctx, const THours& hours) {
  for (const THoursLine& l : hours.Lines) {
    ctx.Out << ShowText(l.Name) << '\t' << l.Days << '\t' << l.StatutoryDays << '\t' << l.OtherOffDays << '\t'
            << l.MakeUpDays << '\t' << Hours(l.Minutes) << '\t' << Hours(l.StatutoryMinutes) << '\t'
            << Hours(l.RestDayMinutes) << '\t' << Hours(l.OvertimeMinutes) << '\n';
  }
  const THoursLine& t = hours.Total;
  ctx.Out << "合计\t\t\t\t\t" << Hours(t.Minutes) << '\t' << Hours(t.StatutoryMinutes) << '\t'
          << Hours(t.RestDayMinutes) << '\t' << Hours(t.OvertimeMinutes) << '\n';
  ctx.Out << "综合计算工时\t" << FormatHours(hours.StandardMinutes) << '\t' << FormatHours(hours.BeyondStandardMinutes)
          << '\n';
}

// The hour keys of a line, or of the total.
TJsonObject& AddHoursJson(TJsonObject& object, const THoursLine& l) {
  return object.Add("hours", Hours(l.Minutes))
      .Add("statutoryHours", Hours(l.StatutoryMinutes))
      .Add("restDayHours", Hours(l.RestDayMinutes))
      .Add("overtimeHours", Hours(l.OvertimeMinutes));
}

// The lines as stats gives them, with their hours, then what the text's
// last two lines say; an object, since the totals are not lines.
std::string HoursJson(const THours& hours) {
  std::string lines = "[";
  for (const THoursLine& l : hours.Lines) {
    TJsonObject line;
    const std::string name = l.Name.empty() ? "null" : JsonText(ShowText(l.Name));
    line.Add(l.Leave ? "leave" : "duty", name)
        .Add("days", l.Days)
        .Add("statutory", l.StatutoryDays)
        .Add("otherOff", l.OtherOffDays)
        .Add("makeUp", l.MakeUpDays);
    if (lines.size() > 1) lines += ',';
    lines += AddHoursJson(line, l).Close();
  }
  TJsonObject total;
  AddHoursJson(total, hours.Total).Add("untimedDays", hours.Total.Untimed);
  return TJsonObject()
      .Add("lines", lines + ']')
      .Add("total", total.Close())
      .Add("standardHours", FormatHours(hours.StandardMinutes))
      .Add("beyondStandardHours", FormatHours(hours.BeyondStandardMinutes))
      .Close();
}

}  // namespace

int CmdRoster(TCliContext& ctx) {
  int rc = kExitOk;
  const auto users = TakeOption(ctx, "users", rc);
  if (rc) return rc;
  const auto formatWord = TakeOption(ctx, "format", rc);
  if (rc) return rc;
  const auto format = ParseRosterFormat(formatWord.value_or("tsv"));
  if (!format) return UsageError(ctx, "--format must be tsv, csv or html");
  if (ctx.Args.empty() || ctx.Args.size() > 2) return UsageError(ctx, "roster takes FROM [TO]");
  for (const std::string& a : ctx.Args) {
    if (a.starts_with("--")) return UsageError(ctx, "unknown option " + a);
  }
  const auto range = ParseFromTo(ctx, ctx.Args[0], ctx.Args.size() > 1 ? &ctx.Args[1] : nullptr, rc);
  if (!range || TooLong(ctx, *range, kMaxRosterDays, "a roster", rc)) return rc;
  TTeam team;
  if (int loaded = LoadTeam(ctx, team)) return loaded;
  const auto chosen = ChooseUsers(ctx, *team.Snapshot, users, rc);
  if (!chosen) return rc;
  ReportHolidayMessages(ctx, DecodeDate(range->First).Year, DecodeDate(range->Last).Year);
  const TRoster roster(team.Snapshot, team.Times, Holidays(), range->First, range->Last, *chosen);
  if (ctx.Json) {
    PrintRosterJson(ctx, roster, *team.Snapshot);
  } else {
    ctx.Out << BuildRosterDocument(roster, *format, TDocTarget::Terminal);
  }
  return kExitOk;
}

int CmdWho(TCliContext& ctx) {
  const auto day = ParseCliDate(ctx.Args[0]);
  if (!day) return UsageError(ctx, "the date must be YYYY-MM-DD, today, tomorrow, yesterday, +N or -N");
  TTeam team;
  if (int loaded = LoadTeam(ctx, team)) return loaded;
  const TRotaSnapshot& snapshot = *team.Snapshot;
  // A program wants each user's day as every other command gives it, and
  // groups for itself; the grouping is for the eye.
  if (ctx.Json) {
    ctx.Out << TeamDayJson(snapshot, *day) << '\n';
    return kExitOk;
  }
  // By duty kind, the leave kinds after them, each with its users in slot order.
  std::map<std::pair<std::int32_t, std::string>, std::vector<std::size_t>> groups;
  constexpr std::int32_t kLeaveGroup = 1 << 30;
  for (std::size_t user = 0; user < snapshot.UserCount(); ++user) {
    const TResolvedDay resolved = snapshot.Resolve(user, static_cast<TDateTime>(*day));
    if (resolved.Kind == TExceptionKind::Leave) {
      TResolvedDay leave = resolved;
      leave.Extras.clear();
      groups[{kLeaveGroup, DayDutyText(leave)}].push_back(user);
    } else if (resolved.Duty.Has) {
      groups[{resolved.Duty.ID, std::string(resolved.Duty.Name)}].push_back(user);
    }
    for (const TExtraDuty& extra : resolved.Extras) groups[{extra.Duty.ID, std::string(extra.Duty.Name)}].push_back(user);
  }
  for (const auto& [key, users] : groups) {
    ctx.Out << ShowText(key.second);
    for (const std::size_t user : users) ctx.Out << '\t' << ShowText(snapshot.UserName(user));
    ctx.Out << '\n';
  }
  return kExitOk;
}

int CmdStatsHours(TCliContext& ctx) {
  int rc = kExitOk;
  auto range = ParseFromTo(ctx, ctx.Args[1], ctx.Args.size() > 2 ? &ctx.Args[2] : nullptr, rc);
  if (!range || TooLong(ctx, *range, kMaxHoursDays, "--hours", rc)) return rc;
  TTeam team;
  if (int loaded = LoadTeam(ctx, team)) return loaded;
  const auto gbk = Utf8ToGbk(ctx.Args[0]);
  const auto user = gbk ? team.Snapshot->FindUser(*gbk) : std::nullopt;
  if (!user) return DataError(ctx, "no user named " + ctx.Args[0] + " in " + DescribeDataDir(ctx));
  ReportHolidayMessages(ctx, DecodeDate(range->First).Year, DecodeDate(range->Last).Year);
  const THours hours = CountHours(*team.Snapshot, *user, range->First, range->Last, team.Times, Holidays());
  if (ctx.Json) {
    ctx.Out << HoursJson(hours) << '\n';
  } else {
    PrintHours(ctx, hours);
  }
  if (hours.Total.Untimed > 0) {
    ctx.Err << "kadrel-cli: warning: " << hours.Total.Untimed
            << " days of duties without a start count no hours; give their duty kinds times\n";
  }
  return kExitOk;
}

}  // namespace kadrel
