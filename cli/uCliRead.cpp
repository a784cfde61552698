// The read commands: they open the files for reading and never create or
// change one. They work while Kadrel runs: each file is read as it was
// between two of its changes.
#include <string>

#include "cli/uCliCommands.h"
#include "platform/uClock.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uShiftUser.h"
#include "schedule/uScheduleRecords.h"

namespace kadrel {
namespace {

bool AllFilesMissing(const TCliContext& ctx) {
  for (TScheduleFile file : kScheduleFiles) {
    if (!ScheduleFileMissing(SchedulePath(ctx.DataDir, file))) return false;
  }
  return true;
}

int NoData(TCliContext& ctx) {
  return DataError(ctx, "no schedule data in " + DescribeDataDir(ctx) +
                            " (shiftdat.kd2, workdat.kd2 and userdat.kd2 are missing)");
}

int OpenForReading(TCliContext& ctx, TScheduleTables& tables) {
  if (AllFilesMissing(ctx)) return NoData(ctx);
  TScheduleError error;
  if (!OpenScheduleTables(tables, ctx.DataDir, TScheduleAccess::Read, error)) {
    return DataError(ctx, error.Text() + " (in " + DescribeDataDir(ctx) + ")");
  }
  return kExitOk;
}

// A scan that reads every slot proves more than Open can: that each slot is
// readable where the header says it is.
bool ScanTable(TTableStream& table, std::int32_t& live, std::string& error) {
  std::int32_t slots = 0;
  live = 0;
  if (table.RecordCount() > 0) {
    for (table.First(); !table.Eof(); table.Next()) {
      ++slots;
      if (!table.IsDeleted()) ++live;
    }
  }
  if (slots != table.RecordCount()) {
    error = "only " + std::to_string(slots) + " of " + std::to_string(table.RecordCount()) +
            " slots could be read";
    return false;
  }
  if (live != LiveRecordCount(table)) {
    error = std::to_string(table.RecordCount() - live) + " slots are marked deleted, but the header counts " +
            std::to_string(table.DeletedCount());
    return false;
  }
  return true;
}

std::string StartText(TDateTime start) {
  // A damaged start has no date to show.
  if (!(start > -1e7 && start < 1e7)) return "";
  return FormatIsoDate(WholeDays(start));
}

}  // namespace

int CmdCheck(TCliContext& ctx) {
  if (AllFilesMissing(ctx)) return NoData(ctx);
  // Printed first, so that a damaged file is reported after it names the folder.
  ctx.Out << "folder: " << DataDirPath(ctx) << '\n';
  for (TScheduleFile file : kScheduleFiles) {
    TTableStream table;
    TScheduleError error;
    if (!OpenScheduleFile(table, file, SchedulePath(ctx.DataDir, file), TTableStream::kModeReadShared, error)) {
      return DataError(ctx, error.Text() + " (in " + DescribeDataDir(ctx) + ")");
    }
    std::int32_t live = 0;
    std::string problem;
    if (!ScanTable(table, live, problem)) {
      return DataError(ctx, std::string(ScheduleFileName(file)) + ": " + problem);
    }
    ctx.Out << ScheduleFileName(file) << ": " << table.RecordCount() << " slots, " << live << " live, "
            << table.AppendedCount() << " appended\n";
  }
  return kExitOk;
}

int CmdUsers(TCliContext& ctx) {
  TScheduleTables tables;
  if (int rc = OpenForReading(ctx, tables)) return rc;
  TScheduleRecords records(tables, TWritePolicy::Trimmed);
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
  TScheduleTables tables;
  if (int rc = OpenForReading(ctx, tables)) return rc;
  TScheduleRecords records(tables, TWritePolicy::Trimmed);
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
  TScheduleTables tables;
  if (int rc = OpenForReading(ctx, tables)) return rc;
  const TDateTime today = static_cast<TDateTime>(WholeDays(Today()));
  TScheduleRecords records(tables, TWritePolicy::Trimmed);
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
