// The read commands: they open the files for reading and never create or
// change one. They work while Kadrel runs: each file is read as it was
// between two of its changes. Every duty they show is the resolver's.
#include <algorithm>
#include <optional>
#include <string>

#include "cli/uCliCommands.h"
#include "cli/uCliRota.h"
#include "platform/uClock.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uScheduleFolder.h"

namespace kadrel {
namespace {

std::string LeftoverText(const TLeftoverNote& note) {
  switch (note.What) {
    case TLeftover::UndoneChange: return note.Name + ": rolled back a change that a crash interrupted";
    case TLeftover::JournalReadThrough:
      return note.Name + ": read through the journal of a change that a crash interrupted; it stays, as the folder"
                         " may not be written here";
    case TLeftover::RemovedTemporary: return note.Name + ": removed, a crash left it";
    case TLeftover::KeptTemporary: return note.Name + ": left by a crash; it stays, as the folder may not be written here";
    case TLeftover::CompletedCreation:
      return note.Name + ": created, a crash had interrupted the first creation of the files";
  }
  return note.Name;
}

std::string StartText(TDateTime start) {
  // A damaged start has no date to show.
  if (!(start > -1e7 && start < 1e7)) return "";
  return FormatIsoDate(WholeDays(start));
}

}  // namespace

int CmdCheck(TCliContext& ctx) {
  TScheduleFolder folder(ctx.DataDir);
  const TFolderCheck report = folder.Check();
  if (report.Failure.Fault == TOpenFault::NoData && report.Leftovers.empty()) return FolderError(ctx, report.Failure);
  if (ctx.Json) {
    // What was read up to a failure, which stderr then names.
    std::string leftovers = "[", tables = "[";
    for (const TLeftoverNote& note : report.Leftovers) {
      leftovers.append(leftovers.size() > 1 ? "," : "").append(JsonText(LeftoverText(note)));
    }
    for (const TTableCounts& t : report.Tables) {
      tables.append(tables.size() > 1 ? "," : "")
          .append(TJsonObject()
                      .Add("file", JsonText(ScheduleFileName(t.File)))
                      .Add("slots", t.Slots)
                      .Add("live", t.Live)
                      .Add("appended", t.Appended)
                      .Close());
    }
    ctx.Out << TJsonObject()
                   .Add("folder", JsonText(DataDirPath(ctx)))
                   .Add("leftovers", leftovers + ']')
                   .Add("tables", tables + ']')
                   .Close()
            << '\n';
  } else {
    // Printed first, so that a damaged file is reported after it names the folder.
    ctx.Out << "folder: " << DataDirPath(ctx) << '\n';
    for (const TLeftoverNote& note : report.Leftovers) ctx.Out << LeftoverText(note) << '\n';
    for (const TTableCounts& t : report.Tables) {
      ctx.Out << ScheduleFileName(t.File) << ": " << t.Slots << " slots, " << t.Live << " live, " << t.Appended
              << " appended\n";
    }
  }
  return report.Failure.Failed() ? FolderError(ctx, report.Failure) : kExitOk;
}

int OpenCliFolder(TCliContext& ctx, TScheduleFolder& folder) {
  const TOpenFailure failure = folder.Open({TFolderAccess::Read, TWritePolicy::Trimmed});
  return failure.Failed() ? FolderError(ctx, failure) : kExitOk;
}

// The scheme is found as the duty computation finds it, deleted slots
// included.
std::string UserLine(TScheduleRecords& records, const TUserRecord& user) {
  std::string scheme;
  if (const auto found = records.FindScheme(user.ShiftID)) scheme = found->Name;
  return ShowText(user.Name) + '\t' + ShowText(scheme) + '\t' + StartText(user.Start) + '\t' +
         std::to_string(user.FirstID);
}

int CmdUsers(TCliContext& ctx) {
  TScheduleFolder folder(ctx.DataDir);
  if (int rc = OpenCliFolder(ctx, folder)) return rc;
  TScheduleRecords& records = folder.Records();
  const char* separator = "";
  if (ctx.Json) ctx.Out << '[';
  for (const TUserRecord& user : records.Users()) {
    if (!ctx.Json) {
      ctx.Out << UserLine(records, user) << '\n';
      continue;
    }
    std::string scheme;
    if (const auto found = records.FindScheme(user.ShiftID)) scheme = found->Name;
    const std::string startText = StartText(user.Start);
    ctx.Out << separator << "{\"name\":" << JsonText(ShowText(user.Name)) << ",\"scheme\":" << JsonText(ShowText(scheme))
            << ",\"start\":" << (startText.empty() ? "null" : JsonText(startText)) << ",\"first\":" << user.FirstID
            << '}';
    separator = ",";
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

int CmdDuties(TCliContext& ctx) {
  TScheduleFolder folder(ctx.DataDir);
  if (int rc = OpenCliFolder(ctx, folder)) return rc;
  // A folder where no duty kind has hours lists as it always did.
  const TDutyTimesMap times(ReadDutyTimes(folder.Tables().Times));
  const char* separator = "";
  if (ctx.Json) ctx.Out << '[';
  for (const TDutyKindRecord& kind : folder.Records().DutyKinds()) {
    const TDutyTimes own = times.Of(kind.ID);
    if (ctx.Json) {
      ctx.Out << separator << "{\"id\":" << kind.ID << ",\"name\":" << JsonText(ShowText(kind.Name))
              << ",\"hint\":" << JsonText(ShowText(kind.Hint)) << DutyTimesJson(own) << '}';
      separator = ",";
    } else {
      ctx.Out << kind.ID << '\t' << ShowText(kind.Name) << '\t' << ShowText(kind.Hint)
              << (times.Empty() ? "" : DutyTimesColumns(own)) << '\n';
    }
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

// The cycle as stored (the IDs add-scheme takes) and as the duty computation
// reads it (the names of the duty kinds that exist).
int CmdSchemes(TCliContext& ctx) {
  TScheduleFolder folder(ctx.DataDir);
  if (int rc = OpenCliFolder(ctx, folder)) return rc;
  TScheduleRecords& records = folder.Records();
  const char* separator = "";
  if (ctx.Json) ctx.Out << '[';
  for (const TSchemeRecord& scheme : records.Schemes()) {
    std::string ids, names;
    for (std::int32_t id : scheme.Cycle) ids.append(ids.empty() ? "" : ",").append(std::to_string(id));
    for (const auto& entry : records.UserCycle(scheme.ID)) {
      names.append(names.empty() ? "" : ",").append(ctx.Json ? JsonText(ShowText(entry.Name)) : ShowText(entry.Name));
    }
    if (ctx.Json) {
      ctx.Out << separator << "{\"id\":" << scheme.ID << ",\"name\":" << JsonText(ShowText(scheme.Name))
              << ",\"cycle\":[" << ids << "],\"duties\":[" << names << "]}";
      separator = ",";
    } else {
      ctx.Out << scheme.ID << '\t' << ShowText(scheme.Name) << '\t' << ids << '\t' << names << '\n';
    }
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

int LoadCliSchedule(TCliContext& ctx, const std::string& name, std::optional<TUserSchedule>& schedule) {
  TScheduleFolder folder(ctx.DataDir);
  if (int rc = OpenCliFolder(ctx, folder)) return rc;
  const auto snapshot = folder.Snapshot();
  const auto gbk = Utf8ToGbk(name);
  const auto user = gbk ? snapshot->FindUser(*gbk) : std::nullopt;
  if (!user) return DataError(ctx, NoUserText(ctx, name));
  schedule.emplace(snapshot, *user, CliFolderTimes(ctx, folder));
  return kExitOk;
}

namespace {

std::string TextOrNull(std::string_view gbk) { return gbk.empty() ? std::string("null") : JsonText(ShowText(gbk)); }

// A JSON array of texts.
template <typename TRange, typename TText>
std::string JsonArray(const TRange& items, TText text) {
  std::string json = "[";
  for (const auto& item : items) {
    if (json.size() > 1) json += ',';
    json += JsonText(ShowText(text(item)));
  }
  return json + ']';
}

}  // namespace

std::string DayChangeJson(const TResolvedDay& day) {
  if (day.Kind == TExceptionKind::None) return {};
  std::string key = ",\"change\":";
  return key + TJsonObject()
      .Add("kind", JsonText(ExceptionKindWord(day.Kind)))
      .Add("exception", day.ExceptionID)
      .Add("replaced", TextOrNull(day.Replaced.Name))
      .Add("partner", TextOrNull(day.Partner))
      .Add("leave", TextOrNull(day.Leave))
      .Add("extras", JsonArray(day.Extras, [](const TExtraDuty& extra) { return extra.Duty.Name; }))
      .Add("note", TextOrNull(day.Note))
      .Close();
}

namespace {

// The layers of --explain, each on a line of its own below the day's line:
// the rotation userdat.kd2 gives, the earlier assignment that held that day,
// and every exception that covers it.
void PrintLayers(TCliContext& ctx, const TDayLayers& layers, const TExceptionText& text) {
  ctx.Out << "\trotation\t" << ShowText(layers.Rotation.Name) << '\n';
  if (layers.History) {
    const THistoryRecord& h = *layers.History;
    ctx.Out << "\thistory\t" << ShowText(layers.HistoryDuty.Name) << "\tscheme " << h.ShiftID << " from "
            << StartText(h.Start) << " at place " << h.FirstID << ", until " << StartText(h.Until) << '\n';
  }
  for (const auto& r : layers.Exceptions) ctx.Out << "\texception\t" << text.Line(r) << '\n';
}

std::string LayersJson(const TDayLayers& layers, const TExceptionText& text) {
  auto duty = [](const TDutyRef& d) { return d.Has ? JsonText(ShowText(d.Name)) : std::string("null"); };
  auto date = [](TDateTime t) {
    const std::string day = StartText(t);
    return day.empty() ? std::string("null") : JsonText(day);
  };
  std::string history = "null";
  if (layers.History) {
    const THistoryRecord& h = *layers.History;
    history = TJsonObject()
                  .Add("id", h.ID)
                  .Add("until", date(h.Until))
                  .Add("scheme", h.ShiftID)
                  .Add("start", date(h.Start))
                  .Add("first", h.FirstID)
                  .Add("duty", duty(layers.HistoryDuty))
                  .Close();
  }
  std::string exceptions = "[";
  for (const auto& r : layers.Exceptions) {
    if (exceptions.size() > 1) exceptions += ',';
    exceptions += text.Json(r);
  }
  exceptions += ']';
  return TJsonObject()
      .Add("rotation", duty(layers.Rotation))
      .Add("history", history)
      .Add("exceptions", exceptions)
      .Close();
}

}  // namespace

// NAME FROM [TO] and --explain anywhere after the command.
int CmdDuty(TCliContext& ctx) {
  const auto explain = std::remove(ctx.Args.begin(), ctx.Args.end(), std::string("--explain"));
  const bool explaining = explain != ctx.Args.end();
  ctx.Args.erase(explain, ctx.Args.end());
  if (ctx.Args.size() < 2 || ctx.Args.size() > 3) {
    return UsageError(ctx, "usage: kadrel-cli [--data DIR] duty NAME FROM [TO] [--explain]");
  }
  int rc = kExitOk;
  auto range = ParseFromTo(ctx, ctx.Args[1], ctx.Args.size() > 2 ? &ctx.Args[2] : nullptr, rc);
  if (!range) return rc;

  TScheduleFolder folder(ctx.DataDir);
  if (int opened = OpenCliFolder(ctx, folder)) return opened;
  const auto snapshot = folder.Snapshot();
  const auto gbk = Utf8ToGbk(ctx.Args[0]);
  const auto user = gbk ? snapshot->FindUser(*gbk) : std::nullopt;
  if (!user) return DataError(ctx, NoUserText(ctx, ctx.Args[0]));
  const TExceptionText text(folder.Records());
  if (ctx.Json) ctx.Out << '[';
  TDayJson json;
  const std::string name(snapshot->UserName(*user));
  for (std::int64_t day = range->First; day <= range->Last; ++day) {
    const TResolvedDay resolved = snapshot->Resolve(*user, static_cast<TDateTime>(day));
    const std::string duty = DayDutyText(resolved);
    if (ctx.Json) {
      std::string object = json.Of(day, &name, &resolved);
      if (explaining) {
        object.pop_back();
        object += ",\"layers\":" + LayersJson(snapshot->Explain(*user, static_cast<TDateTime>(day)), text) + '}';
      }
      ctx.Out << (day == range->First ? "" : ",") << object;
    } else {
      ctx.Out << FormatIsoDate(day) << '\t' << ShowText(duty) << '\n';
      if (explaining) PrintLayers(ctx, snapshot->Explain(*user, static_cast<TDateTime>(day)), text);
    }
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

// Every user's duty today, the question a shift worker asks most.
int CmdToday(TCliContext& ctx) {
  TScheduleFolder folder(ctx.DataDir);
  if (int rc = OpenCliFolder(ctx, folder)) return rc;
  const std::int64_t today = WholeDays(Today());
  const auto snapshot = folder.Snapshot();
  if (ctx.Json) {
    ctx.Out << TeamDayJson(*snapshot, today) << '\n';
    return kExitOk;
  }
  for (std::size_t user = 0; user < snapshot->UserCount(); ++user) {
    const TResolvedDay resolved = snapshot->Resolve(user, static_cast<TDateTime>(today));
    ctx.Out << ShowText(snapshot->UserName(user)) << '\t' << ShowText(DayDutyText(resolved)) << '\n';
  }
  return kExitOk;
}

std::string TeamDayJson(const TRotaSnapshot& snapshot, std::int64_t serial) {
  TDayJson json;
  std::string array = "[";
  for (std::size_t user = 0; user < snapshot.UserCount(); ++user) {
    const TResolvedDay resolved = snapshot.Resolve(user, static_cast<TDateTime>(serial));
    const std::string name(snapshot.UserName(user));
    if (user) array += ',';
    array += json.Of(serial, &name, &resolved);
  }
  return array + ']';
}

}  // namespace kadrel
