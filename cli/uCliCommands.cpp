#include "cli/uCliCommands.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "platform/uClock.h"
#include "platform/uDataFiles.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "platform/uTerminalText.h"
#include "platform/uUserDirs.h"
#include "schedule/uScheduleFolder.h"

namespace kadrel {
namespace {

constexpr std::string_view kProgram = "kadrel-cli";

// One line per command, in the order --help lists them.
constexpr std::array kCommands = {
    TCliCommand{"check", "", "validate the data files, clearing what a crash left", 0, 0, kCliJson, CmdCheck},
    TCliCommand{"users", "", "list the users: name, scheme, start date, first place", 0, 0, kCliJson, CmdUsers},
    TCliCommand{"duties", "", "list the duty kinds: ID, name, description", 0, 0, kCliJson, CmdDuties},
    TCliCommand{"schemes", "", "list the schemes: ID, name, cycle of duty-kind IDs, cycle of names", 0, 0,
                kCliJson, CmdSchemes},
    TCliCommand{"today", "", "every user's duty today", 0, 0, kCliJson, CmdToday},
    TCliCommand{"duty", "NAME FROM [TO] [--explain]",
                "the user's duty on each date from FROM to TO; --explain adds the rotation, history and exceptions",
                2, 4, kCliJson, CmdDuty},
    TCliCommand{"day", "DATE [--user NAME]", "the date, its weekday, lunar date, solar term and duty", 1, 3, kCliJson,
                CmdDay},
    TCliCommand{"days", "FROM [TO]", "one tab-separated lunar and holiday line per date from FROM to TO", 1, 2,
                kCliJson, CmdDays},
    TCliCommand{"stats", "NAME FROM [TO] [--hours]",
                "per duty and leave kind: days, statutory holidays, other official days off, make-up workdays;"
                " with --hours the hours, at 300 %, at 200 % and beyond the 8-hour day",
                2, 4, kCliJson, CmdStats},
    TCliCommand{"roster", "FROM [TO] [--users A,B,...] [--format tsv|csv|html]",
                "the team's duties, one row per user and one column per day, with days and hours", 1, 6, kCliJson,
                CmdRoster},
    TCliCommand{"who", "DATE", "who is on which duty that day", 1, 1, kCliJson, CmdWho},
    TCliCommand{"exceptions", "NAME [FROM [TO]]", "list the user's exceptions with their IDs", 1, 3, kCliJson,
                CmdExceptions},
    TCliCommand{"add-duty", "NAME [HINT]", "add a duty kind and print its ID", 1, 2, kCliWrites, CmdAddDuty},
    TCliCommand{"add-scheme", "NAME ID[,ID...]", "add a scheme with that cycle and print its ID", 2, 2, kCliWrites,
                CmdAddScheme},
    TCliCommand{"add-user", "NAME SCHEME-ID START FIRST",
                "add a user at 0-based place FIRST of the cycle on START (SCHEME-ID 0 while no scheme exists)",
                4, 4, kCliWrites, CmdAddUser},
    TCliCommand{"rename-user", "NAME NEW", "rename a user, with the user's exceptions and history", 2, 2, kCliWrites,
                CmdRenameUser},
    TCliCommand{"delete-duty", "NAME", "delete a duty kind", 1, 1, kCliWrites, CmdDeleteDuty},
    TCliCommand{"delete-scheme", "ID", "delete a scheme", 1, 1, kCliWrites, CmdDeleteScheme},
    TCliCommand{"delete-user", "NAME", "delete a user, with the user's exceptions and history", 1, 1, kCliWrites,
                CmdDeleteUser},
    TCliCommand{"set", "NAME FROM [TO] DUTY", "change the user's duty on those days (DUTY: name, ID or - for none)",
                3, 4, kCliWrites, CmdSet},
    TCliCommand{"leave", "NAME FROM [TO] [KIND]", "record leave (年假, 病假, 事假, 婚假, 产假, 丧假, 调休 or your own)",
                2, 4, kCliWrites, CmdLeave},
    TCliCommand{"extra", "NAME DATE DUTY", "record an extra shift beside the day's duty", 3, 3, kCliWrites,
                CmdExtra},
    TCliCommand{"swap", "NAME OTHER DATE", "the two users exchange their duties of DATE", 3, 3, kCliWrites, CmdSwap},
    TCliCommand{"note", "NAME DATE TEXT", "a note for the day (at most 49 bytes in GBK)", 3, 3, kCliWrites, CmdNote},
    TCliCommand{"drop", "ID", "remove an exception (both halves of a swap)", 1, 1, kCliWrites, CmdDrop},
    TCliCommand{"change-scheme", "NAME FROM SCHEME-ID FIRST",
                "from FROM on the user follows the scheme, at 0-based place FIRST on FROM; earlier days keep theirs",
                4, 4, kCliWrites, CmdChangeScheme},
    TCliCommand{"export", "NAME YEAR|FROM TO [OPTIONS]",
                "write the year schedule: --format txt|html|dat|ics|vdir|print (html), --months 1,3,12,"
                " -o FILE|DIR|-, --encoding utf-8|gbk (for -o -), --no-rest (ics); FROM TO: ics or vdir,"
                " up to ten years, refreshed by subscribers",
                2, 12, kCliPlain, CmdExport},
    TCliCommand{"set-times", "DUTY HH:MM MINUTES [--rest] [--remind MINUTES] [--color #RRGGBB]",
                "give a duty kind (name or ID) its start, length, rest, reminder and colour; - - for no start",
                3, 8, kCliWrites, CmdSetTimes},
    TCliCommand{"clear-times", "DUTY", "make a duty kind all-day work again, without colour or reminder", 1, 1,
                kCliWrites, CmdClearTimes},
    TCliCommand{"next", "[NAME]", "each user's next duty that is not rest: its start and its end", 0, 1, kCliJson,
                CmdNext},
    TCliCommand{"reminders", "[--from DATETIME] [--to DATETIME]",
                "the reminders due from FROM (now) until TO (a day later), for cron or a systemd timer", 0, 4,
                kCliJson, CmdReminders},
    TCliCommand{"publish", "NAME URL [FROM TO] [OPTIONS]",
                "put the user's days on a CalDAV server, sending only what changed: --user U,"
                " --password-file F, --calendar NAME, --overwrite",
                2, 11, kCliWrites, CmdPublish},
};

// A reason may quote a user's argument; it must still be one line.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

// What to do about a folder that did not open; empty when the reason says.
std::string FolderAdvice(const TOpenFailure& failure) {
  switch (failure.Fault) {
    case TOpenFault::InUse: return "close the other Kadrel, or wait for the other kadrel-cli, and try again";
    case TOpenFault::NoPermission:
      return failure.Creating ? "check the permissions of the folder" : "check the permissions of the file and the folder";
    case TOpenFault::NotRegular: return "move it away, or restore the folder's files from a backup";
    case TOpenFault::CannotCreate: return "free some space or check the disk and the folder's permissions";
    case TOpenFault::Missing: return "restore the folder's files from a backup";
    case TOpenFault::Damaged:
      // A journal in the way is mended by moving it, which its reason says.
      if (failure.Why.Kind == TTableFault::Damaged && failure.Why.Damage == TDamage::Journal) break;
      return "restore the folder's files from a backup";
    case TOpenFault::None:
    case TOpenFault::NoData: break;
  }
  return "";
}

int Report(std::ostream& err, int code, std::string_view message) {
  err << kProgram << ": " << OneLine(message) << '\n';
  return code;
}

void PrintHelp(std::ostream& out) {
  out << "usage: " << kProgram << " [--data DIR] [--json] COMMAND [ARGUMENTS]\n"
      << "       " << kProgram << " --help | --version\n\n"
      << "Works on shiftdat.kd2, workdat.kd2 and userdat.kd2 (and the exceptions and\n"
      << "history in excdat.kd2 and histdat.kd2) in DIR; without --data,\n"
      << "in the current directory when it holds any of them, else in\n"
      << "$XDG_DATA_HOME/kadrel (~/.local/share/kadrel) when that does, else in the\n"
      << "current directory. The commands that add or delete create missing files.\n"
      << "Dates are YYYY-MM-DD, today, tomorrow, yesterday, +N or -N (days from\n"
      << "today); FROM and TO may also be a month (YYYY-MM) or a year (YYYY).\n"
      << "Names are matched without regard to the case of A to Z. --json prints\n"
      << "JSON for every command that only reads. DUTY is a duty kind's name or ID,\n"
      << "or - for none.\n\n"
      << "commands:\n";
  auto head = [](const TCliCommand& c) {
    return std::string(c.Name) + (c.Arguments.empty() ? "" : " ") + std::string(c.Arguments);
  };
  std::size_t width = 0;
  for (const auto& c : kCommands) width = std::max(width, head(c).size());
  for (const auto& c : kCommands) {
    std::string h = head(c);
    out << "  " << h << std::string(width - h.size() + 2, ' ') << c.Summary << '\n';
  }
  out << "\nexit status: 0 success, 1 usage error, 2 data or I/O error\n";
}

const TCliCommand* FindCommand(std::string_view name) {
  for (const auto& c : kCommands) {
    if (c.Name == name) return &c;
  }
  return nullptr;
}

void ChooseDataDir(TCliContext& ctx, const TCliCommand& command) {
  if (!ctx.DataDir.empty() || TScheduleFolder::HoldsAnyFile("")) return;
  const std::string desktop = DesktopDataFolder();
  if (!desktop.empty() && TScheduleFolder::HoldsAnyFile(desktop)) {
    ctx.DataDir = desktop;
    return;
  }
  if (!command.WritesData()) {
    ctx.AlsoSearched = desktop;
    return;
  }
  ctx.NewDataNote = std::string(kProgram) + ": no data files here" + (desktop.empty() ? "" : " or in " + desktop) +
                    "; created them in " + DataDirPath(ctx) + "\n";
}

int RunCommand(const std::vector<std::string>& args, TCliContext& ctx) {
  std::ostream& out = ctx.Out;
  std::ostream& err = ctx.Err;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      PrintHelp(out);
      return kExitOk;
    }
    if (a == "--version") {
      out << kProgram << ' ' << KADREL_VERSION << '\n';
      return kExitOk;
    }
    if (a == "--json") {
      ctx.Json = true;
    } else if (a == "--data") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return UsageError(ctx, "--data needs a directory");
      ctx.DataDir = args[++i];
    } else if (a.starts_with("--data=")) {
      ctx.DataDir = a.substr(7);
      if (ctx.DataDir.empty()) return UsageError(ctx, "--data needs a directory");
    } else if (a.starts_with("-")) {
      return UsageError(ctx, "unknown option " + a);
    } else {
      break;
    }
  }
  if (i >= args.size()) return UsageError(ctx, "no command given");
  if (args[i] == "help") {
    PrintHelp(out);
    return kExitOk;
  }
  const TCliCommand* command = FindCommand(args[i]);
  if (!command) return UsageError(ctx, "unknown command " + args[i]);
  ctx.Args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
  if (command->TakesJson()) {
    const auto json = std::remove(ctx.Args.begin(), ctx.Args.end(), std::string("--json"));
    ctx.Json = ctx.Json || json != ctx.Args.end();
    ctx.Args.erase(json, ctx.Args.end());
  } else if (ctx.Json) {
    return UsageError(ctx, "--json is not available for " + std::string(command->Name));
  }
  if (ctx.Args.size() < command->MinArgs || ctx.Args.size() > command->MaxArgs) {
    std::string usage("usage: ");
    usage += kProgram;
    usage += " [--data DIR] ";
    usage += command->Name;
    if (!command->Arguments.empty()) {
      usage += ' ';
      usage += command->Arguments;
    }
    return Report(err, kExitUsage, usage);
  }
  if (ctx.Json && ctx.Terminal.OutText) ctx.Terminal.OutText->SetMode(TTerminalStreamBuf::TMode::JsonAscii);
  ChooseDataDir(ctx, *command);
  // A reader that went away must not kill a write command after its change
  // is saved: the failed write is then a warning like any other.
  if (command->WritesData()) std::signal(SIGPIPE, SIG_IGN);
  return command->Run(ctx);
}

}  // namespace

std::span<const TCliCommand> CliCommands() { return kCommands; }

int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, TCliTerminal terminal) {
  TCliContext ctx{"", {}, out, err, false, {}, {}, {}, std::move(terminal)};
  try {
    int code = RunCommand(args, ctx);
    out.flush();
    if (out) return code;
    if (ctx.Saved.empty()) return Report(err, kExitData, "cannot write the output");
    // A retry would make the change twice.
    err << kProgram << ": warning: " << OneLine(ctx.Saved) << ", but printing its result failed\n";
    return kExitOk;
  } catch (const std::exception& e) {
    return Report(err, kExitData, std::string("unexpected failure: ") + e.what());
  }
}

void WriteBytes(TCliContext& ctx, std::string_view bytes) {
  ctx.Out.flush();
  std::ostream& raw = ctx.Terminal.Bytes ? *ctx.Terminal.Bytes : ctx.Out;
  raw.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!raw) ctx.Out.setstate(std::ios::badbit);
}

int UsageError(TCliContext& ctx, std::string_view message) {
  return Report(ctx.Err, kExitUsage, std::string(message) + " (see " + std::string(kProgram) + " --help)");
}

int DataError(TCliContext& ctx, std::string_view message) { return Report(ctx.Err, kExitData, message); }

int FolderError(TCliContext& ctx, const TOpenFailure& failure) {
  if (failure.Fault == TOpenFault::NoData) {
    return DataError(ctx, "no schedule data in " + DescribeDataDir(ctx) +
                              " (shiftdat.kd2, workdat.kd2 and userdat.kd2 are missing)");
  }
  const std::string advice = FolderAdvice(failure);
  return DataError(ctx, failure.File + " in " + DataDirPath(ctx) + ": " + failure.Why.Text +
                            (advice.empty() ? "" : "; " + advice));
}

std::string NoUserText(const TCliContext& ctx, const std::string& name) {
  return "no user named " + name + " in " + DescribeDataDir(ctx);
}

int RequireData(TCliContext& ctx) {
  if (TScheduleFolder::HoldsAnyFile(ctx.DataDir)) return kExitOk;
  if (ctx.DataDir.empty()) ctx.AlsoSearched = DesktopDataFolder();
  return FolderError(ctx, {TOpenFault::NoData, {}, {}, false});
}

std::optional<std::int64_t> ParseCliDate(std::string_view text) { return ParseCliDay(text, WholeDays(Today())); }

std::optional<TCliDayRange> ParseCliRange(std::string_view text) {
  return ParseCliDayRange(text, WholeDays(Today()));
}

std::optional<TCliDayRange> ParseFromTo(TCliContext& ctx, const std::string& from, const std::string* to, int& rc) {
  constexpr std::string_view kForms = " must be YYYY-MM-DD, YYYY-MM, YYYY, today, tomorrow, yesterday, +N or -N";
  auto first = ParseCliRange(from);
  if (!first) {
    rc = UsageError(ctx, "FROM" + std::string(kForms));
    return std::nullopt;
  }
  auto last = to ? ParseCliRange(*to) : first;
  if (!last) {
    rc = UsageError(ctx, "TO" + std::string(kForms));
    return std::nullopt;
  }
  if (last->Last < first->First) {
    rc = UsageError(ctx, "TO is before FROM");
    return std::nullopt;
  }
  return TCliDayRange{first->First, last->Last};
}

std::string JsonText(std::string_view utf8) {
  std::string json = "\"";
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + '"';
}

std::optional<std::int32_t> ParseCliInteger(std::string_view text) {
  std::int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string ShowText(std::string_view gbk) {
  std::string utf8 = GbkToUtf8Lossy(gbk);
  if (std::none_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
    return utf8;
  }
  // A damaged or foreign file may hold control bytes; shown raw they would
  // break the tab-separated lines (or the terminal).
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) {
      shown += c;
    } else if (c == '\t' || c == '\n' || c == '\r') {
      shown += c == '\t' ? "\\t" : c == '\n' ? "\\n" : "\\r";
    } else {
      shown += "\\x";
      shown += kHex[u >> 4];
      shown += kHex[u & 15];
    }
  }
  return shown;
}

std::string DescribeDataDir(const TCliContext& ctx) {
  if (!ctx.DataDir.empty()) return ctx.DataDir;
  if (!ctx.AlsoSearched.empty()) return "the current directory or in " + ctx.AlsoSearched;
  return "the current directory";
}

std::string DataDirPath(const TCliContext& ctx) { return FolderPath(ctx.DataDir); }

}  // namespace kadrel
