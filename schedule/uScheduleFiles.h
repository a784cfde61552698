// The three schedule files and the rules every writer and reader of them
// keeps: their schemas, opening and closing them, and their cycle texts.
// Records are read and changed through schedule/uScheduleRecords. The
// folder's later files (schedule/uRotaFiles.h, schedule/uTimeFiles.h) are
// named and opened the same
// way, through the same enumeration.
//
//   file            holds        fields (index: name, type, width)
//   shiftdat.kd2    schemes      0 "ID" 1/4, 1 "Count" 1/4, 2 "Name" 3/10, 3 "worklist" 3/200
//   workdat.kd2     duty kinds   0 "ID" 1/4, 1 "Name" 3/10, 2 "Hint" 3/50
//   userdat.kd2     users        0 "Name" 3/10, 1 "ShiftID" 1/4, 2 "Start" 4/8, 3 "FirstID" 1/4
//
// References between them:
//   1. A scheme's "worklist" is its cycle: each duty kind's decimal "ID"
//      followed by "#" (1#1#2#3#). "Count" is the number of entries.
//   2. A user's "ShiftID" is a scheme's "ID"; 0 means no scheme existed when
//      the user was saved, -1 that the chosen scheme was not found.
//   3. "FirstID" is the 0-based place, in the cycle as resolved by
//      ResolveWorkList (entries naming a missing duty kind dropped), of the
//      duty that falls on "Start".
//   4. New "ID"s are the table's appended count + 1, so an identifier is never
//      reused, not even after a deletion and a Pack.
//   5. Deleting a duty kind or a user packs that file; deleting a scheme does
//      not, so a user of a deleted scheme keeps resolving it (LocateInteger
//      examines deleted slots) until a new scheme reuses the slot.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "platform/uDateTime.h"
#include "store/uTableStream.h"

namespace kadrel {

// The three schedule files, then the exceptions and the rotation history
// (schedule/uRotaFiles.h), the duty times, the folder's settings and the
// ledger of reminders sent (schedule/uTimeFiles.h), the record of what was
// published and the users' calendar keys (schedule/uSyncFiles.h), which a
// folder may lack.
enum class TScheduleFile { Shift, Work, User, Exceptions, History, Times, Settings, Ledger, Sync, Keys };

// The three files other programs read too, whose bytes never change but by
// a change of their own records.
inline constexpr std::array<TScheduleFile, 3> kScheduleFiles = {
    TScheduleFile::Shift, TScheduleFile::Work, TScheduleFile::User};
// Every table a data folder may hold.
inline constexpr std::array<TScheduleFile, 10> kFolderFiles = {
    TScheduleFile::Shift,    TScheduleFile::Work,   TScheduleFile::User, TScheduleFile::Exceptions,
    TScheduleFile::History,  TScheduleFile::Times,  TScheduleFile::Settings, TScheduleFile::Ledger,
    TScheduleFile::Sync,     TScheduleFile::Keys};

// Field indexes, in definition order.
inline constexpr int kShiftID = 0, kShiftCount = 1, kShiftName = 2, kShiftWorkList = 3;
inline constexpr int kWorkID = 0, kWorkName = 1, kWorkHint = 2;
inline constexpr int kUserName = 0, kUserShiftID = 1, kUserStart = 2, kUserFirstID = 3;

// Longest texts the fields hold, in GBK bytes (the width less the zero byte).
inline constexpr std::size_t kNameMaxBytes = 9;
inline constexpr std::size_t kHintMaxBytes = 49;
inline constexpr std::size_t kWorkListMaxBytes = 199;

struct TFieldSpec {
  std::string_view Name;
  std::int16_t Type;
  std::int32_t Width;
};

// "shiftdat.kd2", "workdat.kd2", "userdat.kd2", "excdat.kd2", "histdat.kd2",
// "timedat.kd2", "cfgdat.kd2", "remdat.kd2", "syncdat.kd2" or "uiddat.kd2".
const char* ScheduleFileName(TScheduleFile file);
// The file's name inside `dir`; the bare name when `dir` is empty.
std::string SchedulePath(const std::string& dir, TScheduleFile file);
// The file's fields in order.
std::span<const TFieldSpec> ScheduleSchema(TScheduleFile file);

// Why an operation on the schedule files failed: which file, and the reason
// apart, so that each front end words its own message.
enum class TEditFault {
  None,
  EmptyName,      // nothing left after trimming
  TooLong,        // more bytes than the field holds
  BadText,        // not valid GBK, or a control byte inside a name
  Duplicate,      // a live user of that name (A..Z case ignored) exists
  NotFound,       // no live record to change or delete
  BadReference,   // a duty kind or scheme that does not exist
  BadPlace,       // "FirstID" outside the resolved cycle
  BadDate,        // a start that is not a date of years 1 to 9999
  WriteFailed,    // the table refused the write; the file is as it was
  PackFailed,     // the record is deleted, but compacting the file failed
  CannotOpen,     // the file is missing, damaged, in use or not this file's table
};

struct TScheduleError {
  TEditFault Fault = TEditFault::None;
  std::string File;    // the bare file name ("userdat.kd2"); empty when no file is at fault
  std::string Reason;  // plain English, without the file's name and without record data
  // What the store found wrong with the file, when a file refused
  // (CannotOpen, WriteFailed, PackFailed): decide from it what to tell.
  // Kind None when the data given was refused.
  TTableError Table;

  // "file: reason", or the reason alone, for a line of text.
  std::string Text() const { return File.empty() ? Reason : File + ": " + Reason; }
  // Records a refusal and gives false, for `return error.Fail(...)`.
  bool Fail(TEditFault fault, std::string reason, std::string file = {}, TTableError table = {}) {
    Fault = fault;
    File = std::move(file);
    Reason = std::move(reason);
    Table = std::move(table);
    return false;
  }
  bool Succeed() {
    *this = {};
    return true;
  }
};

// Why the table's last operation failed, in words without the table's name
// (callers name the file apart); `fallback` when it gave no reason.
std::string TableReason(TTableStream& table, const char* fallback);

// The rules of schedule/uTableSchema.h, for the file's own schema: a file
// with other fields would have its data written into the wrong bytes, so it
// is refused before any use (and left closed).
bool HasScheduleSchema(TTableStream& table, TScheduleFile file, TScheduleError& error);

// True when no file of that name exists, or an empty one: the only thing a
// crash during an older version's creation of the file leaves.
bool ScheduleFileMissing(const std::string& path);

// Opens `path` in mode 2 (read and write, one writer); when it is missing
// (ScheduleFileMissing), creates it first with CreateTable (KeepExisting),
// the fields in order, Close and Open, so that a new file holds no records.
// The new file takes the name only once it is whole, and never replaces a
// file that appeared meanwhile: that one is opened instead. A file that
// exists is never truncated, even when it cannot be opened.
bool OpenOrCreateScheduleFile(TTableStream& table, TScheduleFile file, const std::string& path,
                              TScheduleError& error);

// Opens an existing file with `mode` and never creates one.
bool OpenScheduleFile(TTableStream& table, TScheduleFile file, const std::string& path,
                      std::uint16_t mode, TScheduleError& error);

// The tables of one data folder. The exceptions, the history, the times,
// the settings, the ledger, the publish records and the calendar keys stay
// closed while their files do not exist.
struct TScheduleTables {
  TTableStream Shift{TTableStream::kModeReadWrite};
  TTableStream Work{TTableStream::kModeReadWrite};
  TTableStream User{TTableStream::kModeReadWrite};
  TTableStream Exceptions{TTableStream::kModeReadWrite};
  TTableStream History{TTableStream::kModeReadWrite};
  TTableStream Times{TTableStream::kModeReadWrite};
  TTableStream Settings{TTableStream::kModeReadWrite};
  TTableStream Ledger{TTableStream::kModeReadWrite};
  TTableStream Sync{TTableStream::kModeReadWrite};
  TTableStream Keys{TTableStream::kModeReadWrite};

  TTableStream& Table(TScheduleFile file);
};

enum class TScheduleAccess {
  Read,   // mode 0x20, files must exist
  Write,  // mode 2, missing files created with their schemas
};

// Opens the three schedule files in the order shiftdat, workdat, userdat.
// `error` names the file that failed.
bool OpenScheduleTables(TScheduleTables& tables, const std::string& dir, TScheduleAccess access,
                        TScheduleError& error);
// Closes every open table; false if any Close failed, `error` naming the first.
bool CloseScheduleTables(TScheduleTables& tables, TScheduleError& error);

// --- Cycles ---------------------------------------------------------------

// Every "#"-terminated token of a cycle text, in order: its integer, or
// nullopt when it is not a decimal integer (optional sign, ASCII digits,
// within 32 bits; blanks around it are allowed). Text after the last "#" is
// not a token.
std::vector<std::optional<std::int32_t>> ReadWorkList(std::string_view text);

// The integers of ReadWorkList; tokens that are not integers are skipped.
std::vector<std::int32_t> WorkListIds(std::string_view text);

// The cycle text of `ids`: each decimal identifier followed by "#".
std::string WriteWorkList(const std::vector<std::int32_t>& ids);

struct TResolvedEntry {
  std::int32_t ID = 0;
  std::string Name;  // the duty kind's "Name", GBK
};

// The entries of a cycle whose duty kind is live in `work` (first match by
// "ID"), in order, at most `limit` of them. Each distinct identifier is
// looked up once. Moves `work`'s cursor.
std::vector<TResolvedEntry> ResolveWorkList(TTableStream& work, const std::vector<std::int32_t>& ids,
                                            std::size_t limit);

// --- Finding records ------------------------------------------------------

// Text equality with the bytes of A..Z compared as a..z, as LocateText has it.
bool SameTextIgnoringAZ(std::string_view a, std::string_view b);

// Like LocateText and LocateInteger on the field with that index, but only
// live slots count: a deleted slot left behind by a failed Pack must never be
// taken for a record.
bool LocateLiveText(TTableStream& table, int field, std::string_view text);
bool LocateLiveInteger(TTableStream& table, int field, std::int32_t value);
std::int32_t LiveRecordCount(TTableStream& table);

}  // namespace kadrel
