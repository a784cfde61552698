// The read commands: they open the files for reading and never create or
// change one. They work while Kadrel runs: each file is read as it was
// between two of its changes.
#include <string>

#include "cli/uCliCommands.h"
#include "platform/uClock.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uShiftUser.h"

namespace kadrel {
namespace {

int OpenForReading(TCliContext& ctx, TScheduleFolder& folder) {
  const TOpenFailure failure = folder.Open({TFolderAccess::Read, TWritePolicy::Trimmed});
  return failure.Failed() ? FolderError(ctx, failure) : kExitOk;
}

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
  // Printed first, so that a damaged file is reported after it names the folder.
  ctx.Out << "folder: " << DataDirPath(ctx) << '\n';
  for (const TLeftoverNote& note : report.Leftovers) ctx.Out << LeftoverText(note) << '\n';
  for (const TTableCounts& t : report.Tables) {
    ctx.Out << ScheduleFileName(t.File) << ": " << t.Slots << " slots, " << t.Live << " live, " << t.Appended
            << " appended\n";
  }
  return report.Failure.Failed() ? FolderError(ctx, report.Failure) : kExitOk;
}

int CmdUsers(TCliContext& ctx) {
  TScheduleFolder folder(ctx.DataDir);
  if (int rc = OpenForReading(ctx, folder)) return rc;
  TScheduleRecords& records = folder.Records();
  const char* separator = "";
  if (ctx.Json) ctx.Out << '[';
  for (const TUserRecord& user : records.Users()) {
    const std::string& name = user.Name;
    const TDateTime start = user.Start;
    const std::int32_t first = user.FirstID;
    // Found as the duty computation finds it, deleted slots included.
    std::string scheme;
    if (const auto found = records.FindScheme(user.ShiftID)) scheme = found->Name;
    if (ctx.Json) {
      const std::string startText = StartText(start);
      ctx.Out << separator << "{\"name\":" << JsonText(ShowText(name)) << ",\"scheme\":" << JsonText(ShowText(scheme))
              << ",\"start\":" << (startText.empty() ? "null" : JsonText(startText)) << ",\"first\":" << first << '}';
      separator = ",";
      continue;
    }
    ctx.Out << ShowText(name) << '\t' << ShowText(scheme) << '\t' << StartText(start) << '\t' << first << '\n';
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

int LoadCliUser(TCliContext& ctx, const std::string& name, TShiftUser& user) {
  TScheduleFolder folder(ctx.DataDir);
  if (int rc = OpenForReading(ctx, folder)) return rc;
  TScheduleRecords& records = folder.Records();
  auto gbk = Utf8ToGbk(name);
  if (!gbk || !LoadShiftUser(user, records, *gbk)) {
    return DataError(ctx, "no user named " + name + " in " + DescribeDataDir(ctx));
  }
  return kExitOk;
}

int CmdDuty(TCliContext& ctx) {
  int rc = kExitOk;
  auto range = ParseFromTo(ctx, ctx.Args[1], ctx.Args.size() > 2 ? &ctx.Args[2] : nullptr, rc);
  if (!range) return rc;

  TShiftUser user;
  if (int loaded = LoadCliUser(ctx, ctx.Args[0], user)) return loaded;
  // Converted once, so the loop prints without converting each day.
  for (auto& duty : user.worklist) duty = ShowText(duty);
  if (ctx.Json) ctx.Out << '[';
  for (std::int64_t day = range->First; day <= range->Last; ++day) {
    std::string duty;
    const bool hasCycle = GetDutyName(user, static_cast<TDateTime>(day), duty);
    if (ctx.Json) {
      ctx.Out << (day == range->First ? "" : ",") << "{\"date\":\"" << FormatIsoDate(day)
              << "\",\"duty\":" << (hasCycle ? JsonText(duty) : "null") << '}';
    } else {
      ctx.Out << FormatIsoDate(day) << '\t' << duty << '\n';
    }
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

// Every user's duty today, the question a shift worker asks most.
int CmdToday(TCliContext& ctx) {
  TScheduleFolder folder(ctx.DataDir);
  if (int rc = OpenForReading(ctx, folder)) return rc;
  const TDateTime today = static_cast<TDateTime>(WholeDays(Today()));
  TScheduleRecords& records = folder.Records();
  const char* separator = "";
  if (ctx.Json) ctx.Out << '[';
  for (const TUserRecord& record : records.Users()) {
    TShiftUser user;
    LoadShiftUser(user, records, record);
    std::string duty;
    const bool hasCycle = GetDutyName(user, today, duty);
    const std::string name = ShowText(record.Name);
    if (ctx.Json) {
      ctx.Out << separator << "{\"name\":" << JsonText(name) << ",\"duty\":" << (hasCycle ? JsonText(ShowText(duty)) : "null")
              << '}';
      separator = ",";
    } else {
      ctx.Out << name << '\t' << ShowText(duty) << '\n';
    }
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

}  // namespace kadrel
