// kadrel-cli: the headless front door to the schedule files.
//
// A command is a function `int (TCliContext&)` in a uCli*.cpp file of its own
// plus one line in the table of uCliCommands.cpp. The table fixes the
// command's name, arguments, argument counts, and whether it takes --json
// and writes the data, so a command body only ever sees a valid number of
// arguments.
//
// Exit codes: 0 success, 1 usage error, 2 data or I/O error. Every failure
// prints exactly one line on stderr. Once a change is saved the exit code is
// 0 whatever fails after it, with a warning, so that a retry does not make
// it twice. Commands write UTF-8 (lines, or JSON with --json); stored text
// is GBK and converted at the edge. The terminal's charset is met at one
// door, CliMainInTerminal: arguments come in and text goes out in it.
//
// The data folder is --data DIR; else the current folder when it holds any
// of the three files; else $XDG_DATA_HOME/kadrel, where the desktop program
// keeps them, when that holds any; else the current folder, where a write
// command creates the files and says so.
#pragma once

#include <cstdint>
#include <memory>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cli/uCliDates.h"
#include "platform/uGbk.h"

namespace kadrel {

struct TCalendKD;
struct TOpenFailure;
struct TResolvedDay;
struct TUserRecord;
class TScheduleFolder;
class TScheduleRecords;
class TRotaSnapshot;
class TUserSchedule;
class TTerminalStreamBuf;
struct TFolderTimes;
struct TDutyTimes;

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitData = 2;

// The terminal the program talks to: its charset, and, when Out converts,
// the stream beneath it for bytes that must pass unconverted.
struct TCliTerminal {
  std::string Charset = "UTF-8";
  std::ostream* Bytes = nullptr;          // null: Out itself
  TTerminalStreamBuf* OutText = nullptr;  // told by --json to escape, not convert
};

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
  TCliTerminal Terminal;
};

// What a command does besides its own work, for the table's rows.
enum TCliTraits : unsigned {
  kCliPlain = 0,
  kCliJson = 1,    // --json prints JSON
  kCliWrites = 2,  // changes the data: a folder without data gets new files
};

struct TCliCommand {
  std::string_view Name;
  std::string_view Arguments;  // as shown in the usage line
  std::string_view Summary;
  std::size_t MinArgs;
  std::size_t MaxArgs;
  unsigned Traits;  // TCliTraits
  int (*Run)(TCliContext&);

  bool TakesJson() const { return (Traits & kCliJson) != 0; }
  bool WritesData() const { return (Traits & kCliWrites) != 0; }
};

std::span<const TCliCommand> CliCommands();

// The whole program: `args` without the program name, UTF-8.
int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, TCliTerminal terminal = {});
// The program in the terminal's charset (LC_CTYPE): the arguments are
// converted to UTF-8, except the file and folder names of --data, -o and
// the like, which the system takes as typed; output is converted back.
int CliMainInTerminal(const std::vector<std::string>& args);
// Bytes that reach standard output as they are, whatever the terminal's
// charset: a file's contents printed for -o -.
void WriteBytes(TCliContext& ctx, std::string_view bytes);

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
// One JSON object, built key by key in the order given.
class TJsonObject {
 public:
  // `json` is the value as JSON already: a number, null, a JsonText, an array.
  TJsonObject& Add(std::string_view key, std::string_view json) {
    text_ += text_.empty() ? "{\"" : ",\"";
    text_ += key;
    text_ += "\":";
    text_ += json;
    return *this;
  }
  TJsonObject& Add(std::string_view key, std::int64_t number) { return Add(key, std::to_string(number)); }
  std::string Close() const { return text_.empty() ? "{}" : text_ + '}'; }

 private:
  std::string text_;
};
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
// Opens the folder for reading; kExitOk or the exit code of the reported
// failure.
int OpenCliFolder(TCliContext& ctx, TScheduleFolder& folder);
// Opens the folder for reading and gives the resolved schedule of the user
// called `name` (UTF-8), with the folder's duty times. kExitOk, or the exit
// code of the reported failure (no data, damaged file, no such user).
int LoadCliSchedule(TCliContext& ctx, const std::string& name, std::optional<TUserSchedule>& schedule);
// The duty times and zone of an open folder; a warning on stderr when the
// folder names a zone this machine does not know.
std::shared_ptr<const TFolderTimes> CliFolderTimes(TCliContext& ctx, TScheduleFolder& folder);
// The hours of a duty kind as `duties` lists them: tab, start, tab, end
// ("08:00 次日"), tab, work or rest, tab, colour, tab, reminder minutes; the
// start, end, colour and reminder empty when not given.
std::string DutyTimesColumns(const TDutyTimes& times);
// The same as the JSON keys ,"times":{...} of the duty kind's object.
std::string DutyTimesJson(const TDutyTimes& times);
// "no user named NAME in <folder>", NAME as given (UTF-8).
std::string NoUserText(const TCliContext& ctx, const std::string& name);
// For the commands that change what a folder holds (a user's name, the
// exceptions, the history): kExitOk when the folder holds data; else the
// reported failure, and the folder gets no new files.
int RequireData(TCliContext& ctx);

// How a write command's change ended: Saved once it is on disk, then with a
// Problem only as a warning (a compaction after it failed); else Problem
// says why it was refused or failed, and nothing is saved.
struct TCliChange {
  bool Saved = false;
  std::string Problem;
};
// Opens the folder for writing, runs `change`, closes the folder, and only
// then prints `output` (so that a printed ID names a record on disk).
int WithWritableFolder(TCliContext& ctx, const std::function<TCliChange(TScheduleFolder&, std::string& output)>& change);
// The GBK form of a name argument that is to be stored or looked up, checked
// before any file is opened so that a refused argument creates nothing.
std::optional<std::string> NameArgument(TCliContext& ctx, const std::string& utf8, int& rc);
// A line of `users`: name, scheme, start date and first place, tab-separated.
std::string UserLine(TScheduleRecords& records, const TUserRecord& user);
// What an exception made of a resolved day, as the JSON key
// ,"change":{kind, exception, replaced, partner, leave, extras, note} of the
// day's object; nothing for a day no exception changes.
std::string DayChangeJson(const TResolvedDay& day);

// The one JSON shape of a day, wherever a day appears (day, days, duty,
// today, roster): the date, its weekday, its lunar date and solar term, its
// holiday mark, and for a user the name, the resolved duty and what an
// exception made of it; every key always there, null where nothing is known
// (no user; a date outside the lunar calendar). The calendar part is worked
// out once per date.
class TDayJson {
 public:
  std::string Of(std::int64_t serial, const std::string* userGbk = nullptr, const TResolvedDay* day = nullptr);

 private:
  std::string Calendar(std::int64_t serial);
  std::unordered_map<std::int64_t, std::string> calendar_;
  TGbkToUtf8Cache utf8_;
};

// Every user's day of `serial`, in slot order, as a JSON array of days: the
// answer of today and who.
std::string TeamDayJson(const TRotaSnapshot& snapshot, std::int64_t serial);

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
int CmdRenameUser(TCliContext& ctx);
int CmdDuties(TCliContext& ctx);
int CmdSchemes(TCliContext& ctx);
int CmdSet(TCliContext& ctx);
int CmdLeave(TCliContext& ctx);
int CmdExtra(TCliContext& ctx);
int CmdSwap(TCliContext& ctx);
int CmdNote(TCliContext& ctx);
int CmdExceptions(TCliContext& ctx);
int CmdDrop(TCliContext& ctx);
int CmdChangeScheme(TCliContext& ctx);
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

int CmdPublish(TCliContext& ctx);

}  // namespace kadrel
