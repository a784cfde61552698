// kadrel-cli: the headless front door to the schedule files.
//
// A command is a function `int (TCliContext&)` in a uCli*.cpp file of its own
// plus one line in the table of uCliCommands.cpp. The table fixes the
// command's name, arguments and argument counts, so a command body only ever
// sees a valid number of arguments.
//
// Exit codes: 0 success, 1 usage error, 2 data or I/O error. Every failure
// prints exactly one line on stderr. Output is UTF-8; stored text is GBK and
// converted only here, at the edge.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel {

struct TShiftUser;

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitData = 2;

struct TCliContext {
  std::string DataDir;            // empty: the current directory
  std::vector<std::string> Args;  // the command's arguments, UTF-8
  std::ostream& Out;
  std::ostream& Err;
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

// "YYYY-MM-DD" or "today" as a serial day.
std::optional<std::int64_t> ParseCliDate(std::string_view text);
// A decimal 32-bit integer, optionally signed, nothing else.
std::optional<std::int32_t> ParseCliInteger(std::string_view text);
// Duty-kind IDs separated by commas ("1,1,2,3"), each as ParseCliInteger.
std::optional<std::vector<std::int32_t>> ParseCliIdList(std::string_view text);
// Stored GBK text for the terminal; damaged bytes show as U+FFFD, control
// bytes as \t, \n, \r or \xNN.
std::string ShowText(std::string_view gbk);
// "the current directory" or the folder given with --data.
std::string DescribeDataDir(const TCliContext& ctx);
// Opens the files for reading and loads the user called `name` (UTF-8),
// found as the main window finds users. kExitOk, or the exit code of the
// reported failure (no data, damaged file, no such user).
int LoadCliUser(TCliContext& ctx, const std::string& name, TShiftUser& user);

// Commands.
int CmdCheck(TCliContext& ctx);
int CmdUsers(TCliContext& ctx);
int CmdDuty(TCliContext& ctx);
int CmdAddDuty(TCliContext& ctx);
int CmdAddScheme(TCliContext& ctx);
int CmdAddUser(TCliContext& ctx);
int CmdDeleteDuty(TCliContext& ctx);
int CmdDeleteScheme(TCliContext& ctx);
int CmdDeleteUser(TCliContext& ctx);
int CmdDay(TCliContext& ctx);
int CmdDays(TCliContext& ctx);
int CmdExport(TCliContext& ctx);

}  // namespace kadrel
