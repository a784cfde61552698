// kadrel-cli: the headless front door to the schedule files.
//
// A command is a function `int (TCliContext&)` in a uCli*.cpp file of its own
// plus one line in the table of uCliCommands.cpp. The table fixes the
// command's name, arguments and argument counts, so a command body only ever
// sees a valid number of arguments.
//
// Exit codes: 0 success, 1 usage error, 2 data or I/O error. Every failure
// prints exactly one line on stderr. Once a change is saved the exit code is
// 0 whatever fails after it, with a warning, so that a retry does not make
// it twice. Output is UTF-8 (lines, or JSON with
// --json); stored text is GBK and converted only here, at the edge.
//
// The data folder is --data DIR; else the current folder when it holds any
// of the three files; else $XDG_DATA_HOME/kadrel, where the desktop program
// keeps them, when that holds any; else the current folder, where a write
// command creates the files and says so.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/uCliDates.h"

namespace kadrel {

struct TShiftUser;
class TUserSchedule;
struct TCalendKD;
struct TOpenFailure;

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitData = 2;

struct TCliContext {
  std::string DataDir;            // empty: the current directory
  std::vector<std::string> Args;  // the command's arguments, UTF-8, without --json
  std::ostream& Out;
  std::ostream& Err;
  bool Json = false;              // --json, for the commands that take it
  std::string AlsoSearched;       // the desktop's data folder, looked in and found empty
  std::string NewDataNote;        // printed on stderr once a write created the files
  // Set once a write command's change is on disk, saying so (and naming the
  // new ID): from then on no failure may report the change as not made.
  std::string Saved;
};

struct TCliCommand {
  std::string_view Name;
  std::string_view Arguments;  // as shown in the usage line
  std::string_view Summary;
  std::size_t MinArgs;
  std::size_t MaxArgs;
  int (*Run)(TCliContext&);
};

std::span<const TCliCommand> CliCommands();

// The whole program: `args` without the program name.
int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Shared by the commands. Each prints one line "kadrel-cli: ..." on stderr
// and returns the exit code to give back.
int UsageError(TCliContext& ctx, std::string_view message);
int DataError(TCliContext& ctx, std::string_view message);
// Why the data folder did not open, naming the file and the folder.
int FolderError(TCliContext& ctx, const TOpenFailure& failure);

// A day (ParseCliDay) or a range (ParseCliDayRange), today from the clock.
std::optional<std::int64_t> ParseCliDate(std::string_view text);
std::optional<TCliDayRange> ParseCliRange(std::string_view text);
// FROM [TO] of a range command: from FROM's first day to TO's last, or the
// whole of FROM alone. Reports a usage error (rc) when either is malformed
// or TO ends before FROM begins.
std::optional<TCliDayRange> ParseFromTo(TCliContext& ctx, const std::string& from, const std::string* to, int& rc);
// A JSON string literal of UTF-8 text.
std::string JsonText(std::string_view utf8);
// A decimal 32-bit integer, optionally signed, nothing else.
std::optional<std::int32_t> ParseCliInteger(std::string_view text);
// Duty-kind IDs separated by commas ("1,1,2,3"), each as ParseCliInteger.
std::optional<std::vector<std::int32_t>> ParseCliIdList(std::string_view text);
// Stored GBK text for the terminal; damaged bytes show as U+FFFD, control
// bytes as \t, \n, \r or \xNN.
std::string ShowText(std::string_view gbk);
// "the current directory" or the folder given with --data.
std::string DescribeDataDir(const TCliContext& ctx);
// The data folder as an absolute path.
std::string DataDirPath(const TCliContext& ctx);
// Opens the files for reading and loads the user called `name` (UTF-8),
// found as the main window finds users. kExitOk, or the exit code of the
// reported failure (no data, damaged file, no such user).
int LoadCliUser(TCliContext& ctx, const std::string& name, TShiftUser& user);

// A day's place in the holiday arrangement as the calendar commands print
// it, UTF-8: the mark (休, 班 or empty), the festival (empty without a mark)
// and "法定" on a statutory day (else empty).
struct THolidayColumns {
  std::string Mark;
  std::string Festival;
  std::string Statutory;
};
THolidayColumns HolidayColumnsOf(const TCalendKD& day);
// The three columns joined by tabs: "休\t春节\t法定", "\t\t" for no mark.
std::string JoinHolidayColumns(const THolidayColumns& columns);
// Prints the bad lines of the holiday files, if any, as warnings on stderr,
// and a warning when dates of the years firstYear..lastYear lie after the
// last holiday arrangement known.
void ReportHolidayMessages(TCliContext& ctx, int firstYear, int lastYear);

// Commands.
int CmdCheck(TCliContext& ctx);
int CmdUsers(TCliContext& ctx);
int CmdToday(TCliContext& ctx);
int CmdDuty(TCliContext& ctx);
int CmdAddDuty(TCliContext& ctx);
int CmdAddScheme(TCliContext& ctx);
int CmdAddUser(TCliContext& ctx);
int CmdDeleteDuty(TCliContext& ctx);
int CmdDeleteScheme(TCliContext& ctx);
int CmdDeleteUser(TCliContext& ctx);
int CmdDay(TCliContext& ctx);
int CmdDays(TCliContext& ctx);
int CmdStats(TCliContext& ctx);
int CmdStatsHours(TCliContext& ctx);
int CmdRoster(TCliContext& ctx);
int CmdWho(TCliContext& ctx);
int CmdExport(TCliContext& ctx);
int CmdSetTimes(TCliContext& ctx);
int CmdClearTimes(TCliContext& ctx);
int CmdNext(TCliContext& ctx);
int CmdReminders(TCliContext& ctx);

// Opens the folder for reading and gives the resolved schedule of the user
// called `name` (UTF-8) with the folder's duty times and zone. kExitOk, or
// the exit code of the reported failure.
int LoadCliTimedSchedule(TCliContext& ctx, const std::string& name, std::optional<TUserSchedule>& schedule);
int CmdPublish(TCliContext& ctx);

}  // namespace kadrel
