// The commands of duty times: set-times and clear-times change a duty
// kind's hours (timedat.kd2); next and reminders answer from the resolved
// days, the hours and the folder's time zone, as the tray and the desktop's
// reminders do, so that cron or a systemd timer can remind without Kadrel
// running. Times are the folder zone's wall-clock times.
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/uCliCommands.h"
#include "platform/uClock.h"
#include "platform/uGbk.h"
#include "schedule/uFolderSettings.h"
#include "schedule/uReminders.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uTimedDuty.h"

namespace kadrel {
namespace {

// A duty kind by its name (A..Z without case), else by its ID.
std::optional<TDutyKindRecord> FindDuty(TScheduleRecords& records, const std::string& utf8) {
  if (const auto gbk = Utf8ToGbk(utf8)) {
    if (auto kind = records.FindDutyKindNamed(*gbk)) return kind;
  }
  const auto id = ParseCliInteger(utf8);
  return id ? records.FindDutyKind(*id) : std::nullopt;
}

// The options after the three arguments of set-times, into `times`.
bool ParseTimesOptions(TCliContext& ctx, TDutyTimes& times, int& rc) {
  TTimesError error;
  for (std::size_t i = 3; i < ctx.Args.size(); ++i) {
    const std::string& a = ctx.Args[i];
    if (a == "--rest") {
      times.Rest = true;
      continue;
    }
    if (a != "--remind" && a != "--color") {
      rc = UsageError(ctx, "unknown option " + a);
      return false;
    }
    if (++i == ctx.Args.size()) {
      rc = UsageError(ctx, a + " needs a value");
      return false;
    }
    const auto value = a == "--remind" ? ParseRemind(ctx.Args[i], error) : ParseColor(ctx.Args[i], error);
    if (!value) {
      rc = DataError(ctx, error.Reason);
      return false;
    }
    (a == "--remind" ? times.Remind : times.Color) = *value;
  }
  return true;
}

// A change of the times file, as every write command makes it. A folder
// without data gets none: a duty kind must exist to have hours.
int ChangeTimes(TCliContext& ctx, const std::function<bool(TScheduleFolder&, std::string& problem)>& change) {
  if (int rc = RequireData(ctx)) return rc;
  return WithWritableFolder(ctx, [&](TScheduleFolder& folder, std::string&) {
    TCliChange outcome;
    outcome.Saved = change(folder, outcome.Problem);
    return outcome;
  });
}

bool Opened(TScheduleFolder& folder, TScheduleFile file, std::string& problem) {
  TScheduleError error;
  if (folder.OpenForChange(file, error)) return true;
  problem = error.Text();
  return false;
}

// What the read commands need of the folder, read once.
struct TTimedFolder {
  std::shared_ptr<const TRotaSnapshot> Snapshot;
  std::shared_ptr<const TFolderTimes> Times;
};

int LoadTimedFolder(TCliContext& ctx, TTimedFolder& loaded) {
  TScheduleFolder folder(ctx.DataDir);
  if (int rc = OpenCliFolder(ctx, folder)) return rc;
  loaded.Snapshot = folder.Snapshot();
  loaded.Times = CliFolderTimes(ctx, folder);
  return kExitOk;
}

std::optional<std::size_t> CliUser(TCliContext& ctx, const TRotaSnapshot& snapshot, const std::string& name, int& rc) {
  const auto gbk = Utf8ToGbk(name);
  const auto user = gbk ? snapshot.FindUser(*gbk) : std::nullopt;
  if (!user) rc = DataError(ctx, NoUserText(ctx, name));
  return user;
}

std::string WallText(TWallTime t) { return FormatWallTime(t); }

// "2025-09-30 20:00<TAB>08:00 次日", or the day and 全天 for an all-day duty.
std::string SpanText(const TNextDuty& next) {
  const TDutySpan& span = next.Span;
  if (!next.Duty.Timed()) return FormatIsoDate(WallDay(span.BeginWall)) + "\t全天";
  // The end as the clocks show it, which on the night they change is an
  // hour off the start plus the length.
  const auto wallMinutes = static_cast<std::int32_t>((span.EndWall.Seconds - span.BeginWall.Seconds) / 60);
  return WallText(span.BeginWall) + "\t" + ShowText(DutyEndText(WallMinute(span.BeginWall), wallMinutes));
}

// "YYYY-MM-DD HH:MM", "YYYY-MM-DDTHH:MM", a day as every command takes it
// (its midnight) with an optional " HH:MM", or "now"; a wall time of the
// folder's zone.
std::optional<TUtcTime> ParseCliInstant(std::string_view text, const TTimeZone& zone) {
  if (text == "now") return UtcNow();
  std::int32_t minute = 0;
  if (const auto cut = text.find_first_of(" T"); cut != std::string_view::npos) {
    TTimesError error;
    const auto clock = ParseClock(text.substr(cut + 1), error);
    if (!clock) return std::nullopt;
    minute = *clock;
    text = text.substr(0, cut);
  }
  const auto day = ParseCliDate(text);
  if (!day) return std::nullopt;
  return zone.ToUtc(WallTimeOf(*day, minute));
}

// "2025-09-30T20:00+08:00": the wall time and its offset, so that a program
// needs no zone database and the repeated hour when clocks go back is not
// ambiguous.
std::string InstantJson(TWallTime wall, TUtcTime utc) {
  std::string text = FormatWallTime(wall);
  text[text.find(' ')] = 'T';
  const std::int64_t offset = (wall.Seconds - utc.Seconds) / 60;
  const std::int64_t magnitude = offset < 0 ? -offset : offset;
  char zone[8];
  std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', static_cast<int>(magnitude / 60),
                static_cast<int>(magnitude % 60));
  return JsonText(text + zone);
}

// The keys of a duty that has a place in time, as next and reminders give
// them: "duty", "allDay", "start", "end", and its whole day as "day"; all
// null for none.
void AddShiftJson(TJsonObject& object, const TRotaSnapshot& snapshot, std::size_t user, const TNextDuty* shift,
                  TDayJson& days) {
  if (!shift) {
    for (const char* key : {"duty", "allDay", "start", "end", "day"}) object.Add(key, "null");
    return;
  }
  const bool timed = shift->Duty.Timed();
  const TDutySpan& span = shift->Span;
  const TResolvedDay resolved = snapshot.Resolve(user, static_cast<TDateTime>(shift->Duty.Day));
  const std::string name(snapshot.UserName(user));
  object.Add("duty", JsonText(ShowText(std::string(shift->Duty.Duty.Name))))
      .Add("allDay", timed ? "false" : "true")
      .Add("start", timed ? InstantJson(span.BeginWall, span.Begin) : "null")
      .Add("end", timed ? InstantJson(span.EndWall, span.End) : "null")
      .Add("day", days.Of(shift->Duty.Day, &name, &resolved));
}

}  // namespace

int CmdSetTimes(TCliContext& ctx) {
  TDutyTimes times;
  TTimesError error;
  // "-" for both: a duty without a start, for a rest day or a colour alone.
  if (ctx.Args[1] != "-" || ctx.Args[2] != "-") {
    const auto start = ParseClock(ctx.Args[1], error);
    const auto length = start ? ParseLength(ctx.Args[2], error) : std::nullopt;
    if (!length) return DataError(ctx, error.Reason);
    times.Start = *start;
    times.Length = *length;
  }
  int rc = kExitOk;
  if (!ParseTimesOptions(ctx, times, rc)) return rc;
  if (!CheckDutyTimes(times, error)) return DataError(ctx, error.Reason);
  return ChangeTimes(ctx, [&](TScheduleFolder& folder, std::string& problem) {
    const auto kind = FindDuty(folder.Records(), ctx.Args[0]);
    if (!kind) {
      problem = "no duty kind is called " + ctx.Args[0];
      return false;
    }
    times.DutyID = kind->ID;
    if (!Opened(folder, TScheduleFile::Times, problem)) return false;
    // The zone in use now is what the new hours mean, wherever the folder goes.
    if (times.Timed() && (!Opened(folder, TScheduleFile::Settings, problem) ||
                          !PinTimeZone(folder.Tables().Settings, error))) {
      if (problem.empty()) problem = error.Text();
      return false;
    }
    if (SetDutyTimes(folder.Tables().Times, folder.Records(), times, error)) return true;
    problem = error.Text();
    return false;
  });
}

int CmdClearTimes(TCliContext& ctx) {
  return ChangeTimes(ctx, [&](TScheduleFolder& folder, std::string& problem) {
    const auto kind = FindDuty(folder.Records(), ctx.Args[0]);
    if (!kind) {
      problem = "no duty kind is called " + ctx.Args[0];
      return false;
    }
    TTimesError error;
    if (ClearDutyTimes(folder.Tables().Times, kind->ID, error)) return true;
    problem = error.Text();
    return false;
  });
}

// NAME<TAB>DUTY<TAB>START<TAB>END per user, rest passed over.
int CmdNext(TCliContext& ctx) {
  TTimedFolder folder;
  if (int rc = LoadTimedFolder(ctx, folder)) return rc;
  const TRotaSnapshot& snapshot = *folder.Snapshot;
  std::vector<std::size_t> users;
  if (ctx.Args.empty()) {
    for (std::size_t u = 0; u < snapshot.UserCount(); ++u) users.push_back(u);
  } else {
    int rc = kExitOk;
    const auto user = CliUser(ctx, snapshot, ctx.Args[0], rc);
    if (!user) return rc;
    users.push_back(*user);
  }
  const TUtcTime now = UtcNow();
  TDayJson days;
  if (ctx.Json) ctx.Out << '[';
  for (std::size_t u : users) {
    const auto next = NextDuty(snapshot, u, folder.Times->Times, folder.Times->Zone, now);
    if (!next) ctx.Err << "kadrel-cli: " << ShowText(snapshot.UserName(u)) << " has no duty within a year\n";
    if (ctx.Json) {
      TJsonObject object;
      object.Add("user", JsonText(ShowText(snapshot.UserName(u))));
      AddShiftJson(object, snapshot, u, next ? &*next : nullptr, days);
      ctx.Out << (u == users.front() ? "" : ",") << object.Close();
      continue;
    }
    if (!next) continue;
    ctx.Out << ShowText(snapshot.UserName(u)) << '\t' << ShowText(std::string(next->Duty.Duty.Name)) << '\t'
            << SpanText(*next) << '\n';
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

// DUE<TAB>NAME<TAB>TEXT per reminder due in [FROM, TO): by default the next
// 24 hours. The text is the one the desktop shows when the reminder is due.
int CmdReminders(TCliContext& ctx) {
  std::optional<std::string> from, to;
  for (std::size_t i = 0; i < ctx.Args.size(); ++i) {
    const std::string& a = ctx.Args[i];
    if ((a != "--from" && a != "--to") || i + 1 == ctx.Args.size()) {
      return UsageError(ctx, a == "--from" || a == "--to" ? a + " needs a value" : "unknown argument " + a);
    }
    (a == "--from" ? from : to) = ctx.Args[++i];
  }
  TTimedFolder folder;
  if (int rc = LoadTimedFolder(ctx, folder)) return rc;
  const TTimeZone& zone = folder.Times->Zone;
  const auto first = from ? ParseCliInstant(*from, zone) : UtcNow();
  if (!first) return UsageError(ctx, "--from must be YYYY-MM-DD HH:MM, a day as FROM takes it, or now");
  const auto last = to ? ParseCliInstant(*to, zone) : TUtcTime{first->Seconds + kSecondsPerDay};
  if (!last) return UsageError(ctx, "--to must be YYYY-MM-DD HH:MM, a day as FROM takes it, or now");
  if (*last < *first) return UsageError(ctx, "--to is before --from");
  TDayJson days;
  const char* separator = "[";
  for (const TReminder& r : DueReminders(*folder.Snapshot, folder.Times->Times, zone, *first, *last)) {
    if (ctx.Json) {
      TJsonObject object;
      object.Add("due", InstantJson(zone.ToWall(r.Due), r.Due)).Add("user", JsonText(ShowText(r.UserName)));
      const TNextDuty shift{r.Duty, r.Span};
      AddShiftJson(object, *folder.Snapshot, r.User, &shift, days);
      object.Add("text", JsonText(ShowText(ReminderText(r, r.Due, zone))));
      ctx.Out << separator << object.Close();
      separator = ",";
      continue;
    }
    ctx.Out << WallText(zone.ToWall(r.Due)) << '\t' << ShowText(r.UserName) << '\t'
            << ShowText(ReminderText(r, r.Due, zone)) << '\n';
  }
  if (ctx.Json) ctx.Out << (*separator == '[' ? "[" : "") << "]\n";
  return kExitOk;
}

std::string DutyTimesColumns(const TDutyTimes& times) {
  std::string line = "\t";
  if (times.Timed()) line += FormatClock(times.Start) + "\t" + ShowText(DutyEndText(times.Start, times.Length));
  else line += "\t";
  line += times.Rest ? "\trest\t" : "\twork\t";
  if (times.Color != kNoColor) line += FormatColor(times.Color);
  line += '\t';
  if (times.Remind >= 0) line += std::to_string(times.Remind);
  return line;
}

std::string DutyTimesJson(const TDutyTimes& times) {
  const bool timed = times.Timed();
  const std::string null = "null";
  return ",\"times\":{\"start\":" + (timed ? JsonText(FormatClock(times.Start)) : null) +
         ",\"minutes\":" + (timed ? std::to_string(times.Length) : null) +
         ",\"end\":" + (timed ? JsonText(ShowText(DutyEndText(times.Start, times.Length))) : null) +
         ",\"rest\":" + (times.Rest ? "true" : "false") +
         ",\"color\":" + (times.Color != kNoColor ? JsonText(FormatColor(times.Color)) : null) +
         ",\"remind\":" + (times.Remind >= 0 ? std::to_string(times.Remind) : null) + "}";
}

std::shared_ptr<const TFolderTimes> CliFolderTimes(TCliContext& ctx, TScheduleFolder& folder) {
  const TFolderZone zone = FolderTimeZone(ReadSettings(folder.Tables().Settings));
  if (zone.Source == TZoneSource::Unknown) {
    ctx.Err << "kadrel-cli: warning: the time zone " << ShowText(zone.StoredName)
            << " of the data is not known on this machine; times are in " << zone.Zone.Name() << '\n';
  }
  return std::make_shared<const TFolderTimes>(ReadFolderTimes(folder.Tables()));
}

}  // namespace kadrel
