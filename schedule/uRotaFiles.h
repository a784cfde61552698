// The two files that record how a rota departs from its rotation, without
// rewriting it: the exceptions of single days and ranges, and the
// assignments a user had before a change of scheme. They are tables of the
// same kind as the three schedule files, live in the same folder, are created
// when their first record is written, and a folder without them has no
// exceptions and no history. The three schedule files go on describing the
// current assignment, so programs that know only them still show today and
// the future; they never change when an exception is added or dropped.
//
//   file          holds        fields (index: name, type, width)
//   excdat.kd2    exceptions   0 "ID" 1/4, 1 "User" 3/10, 2 "Kind" 1/4, 3 "First" 4/8,
//                              4 "Last" 4/8, 5 "DutyID" 1/4, 6 "Partner" 3/10, 7 "Link" 1/4,
//                              8 "Leave" 3/10, 9 "Note" 3/50, 10 "Start" 1/4, 11 "Length" 1/4
//   histdat.kd2   history      0 "ID" 1/4, 1 "User" 3/10, 2 "Until" 4/8, 3 "ShiftID" 1/4,
//                              4 "Start" 4/8, 5 "FirstID" 1/4
//
// Rules of both files:
//   1. "ID" is the appended count + 1 when the record is added (or one
//      above the highest ID the file holds, should a file written elsewhere
//      hold a higher one), so never reused. Among exceptions the higher ID is
//      the more recent one, and the more recent one wins.
//   2. "User" and "Partner" hold a user's "Name" as userdat.kd2 stores it.
//      A record belongs to the live user whose name equals it once both are
//      trimmed, A..Z compared without case: the rule that keeps two live
//      users apart. Renaming a user renames both fields; deleting a user
//      deletes the user's records and the other halves of the user's swaps.
//   3. Deleting a record does not pack the file: Append reuses the slot.
// Rules of the exceptions file:
//   4. "Kind" is 1 set, 2 leave, 3 extra, 4 one half of a swap, 5 note
//      (TExceptionKind).
//   5. "First" and "Last" are whole days, First <= Last, at most
//      kMaxExceptionDays days, inside the years kFirstRotaYear..kLastRotaYear.
//      A swap is for one day (First == Last).
//   6. "DutyID": for a set, the duty kind's "ID", 0 meaning no duty; for an
//      extra, the added duty kind; otherwise 0. A duty kind deleted since
//      keeps its ID here; the day then shows DeletedDutyName.
//   7. A swap is two records, one per user, each naming the other user in
//      "Partner" and the other record's "ID" in "Link" (0 for every other
//      kind); dropping either drops both.
//   8. "Leave" is a leave's kind, at most 9 bytes (empty: no kind given);
//      "Note" a note of any kind, at most 49 bytes, one line. A note record
//      has only its note, which is not empty.
//   9. "Start" (minute of the day, 0..1439) and "Length" (minutes, 1..2880)
//      are a set or extra duty's own times; -1 and 0 mean the duty kind's
//      own, and are what every record holds until duty times exist.
// Rules of the history file:
//   10. A record is an assignment ("ShiftID", "Start", "FirstID" as in
//      userdat.kd2) that held on the days before "Until". The assignment of
//      day X is that of the user's record with the smallest "Until" greater
//      than X, the most recent on a tie; with none, the user's record in
//      userdat.kd2.
//   11. A change from day D on keeps what days before D had: the assignment
//      that held on D - 1 becomes a record with "Until" D, the user's records
//      with "Until" D or later are dropped (the new change supersedes them),
//      and userdat.kd2 takes the new assignment with "Start" D. With D in the
//      future a program that knows only the three files shows the new scheme
//      early; the resolver is exact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "calendar/uCalend.h"
#include "schedule/uScheduleFiles.h"
#include "store/uTableError.h"
#include "store/uTableStream.h"

namespace kadrel {

// Field indexes, in definition order.
inline constexpr int kExcID = 0, kExcUser = 1, kExcKind = 2, kExcFirst = 3, kExcLast = 4, kExcDutyID = 5,
                     kExcPartner = 6, kExcLink = 7, kExcLeave = 8, kExcNote = 9, kExcStart = 10, kExcLength = 11;
inline constexpr int kHistID = 0, kHistUser = 1, kHistUntil = 2, kHistShiftID = 3, kHistStart = 4,
                     kHistFirstID = 5;

// Longest texts, in GBK bytes (the width less the zero byte). Names and
// leave kinds take kNameMaxBytes.
inline constexpr std::size_t kNoteMaxBytes = 49;

// The years an exception or a change may fall in: the calendar's own.
inline constexpr int kFirstRotaYear = kFirstCalendYear;
inline constexpr int kLastRotaYear = kLastCalendYear;
// The longest range one exception may cover: a leap year.
inline constexpr std::int64_t kMaxExceptionDays = 366;

// Opens the file of `dir` with `mode` when it is there. A file that does not
// exist, or an empty one (its creation was interrupted before it held
// anything), means no records: true with `table` left closed. Anything else
// that cannot be opened, or has other fields, is refused like the three
// schedule files.
bool OpenRotaFileIfAny(TTableStream& table, TScheduleFile file, const std::string& dir, std::uint16_t mode,
                       TScheduleError& error);
// Opens the file for writing, creating it when it is missing: before the
// first record is written to it.
bool OpenOrCreateRotaFile(TTableStream& table, TScheduleFile file, const std::string& dir, TScheduleError& error);

// --- Refusals ---------------------------------------------------------------

// The input an exception or a change names, for a front end to point at.
enum class TRotaField { None, ID, User, Partner, Kind, First, Last, Duty, Leave, Note, Scheme, Place, Start, Length };

// Why a change of the rota was refused; nothing was written.
enum class TRotaFault {
  None,
  UnknownUser,     // no live user of that name
  UnknownDuty,     // no live duty kind with that ID
  UnknownScheme,   // no live scheme with that ID
  NotFound,        // no live exception with that ID
  BadKind,         // a kind outside 1..5
  EmptyText,       // a note record without a note
  TooLong,         // more bytes than the field holds
  BadText,         // not valid GBK, or a control byte
  BadDate,         // not a date of the years kFirstRotaYear..kLastRotaYear
  Reversed,        // the range ends before it starts
  TooManyDays,     // more than kMaxExceptionDays, or more than one day for a swap
  SelfSwap,        // a swap of a user with the same user
  NoDuty,          // a swap with a user who has no duty that day
  AlreadySwapped,  // a user who swaps that day already
  Overlap,         // a leave overlapping another leave of the same user
  BadPlace,        // a first place outside the scheme's cycle
  BadTimes,        // own times of a set or extra outside rule 9, or a length without a start
  Schedule,        // the three files' records layer refused: Edit says why
  WriteFailed,     // a table refused the write; Table says why
};

struct TRotaError {
  TRotaFault Fault = TRotaFault::None;
  TRotaField Field = TRotaField::None;
  TEditFault Edit = TEditFault::None;  // for Schedule
  std::string File;    // the bare file name when a file is at fault
  std::string Reason;  // plain English, naming the field, without the file's name
  TTableError Table;   // what the store found wrong, when a table refused

  std::string Text() const { return File.empty() ? Reason : File + ": " + Reason; }
  bool Fail(TRotaFault fault, TRotaField field, std::string reason) {
    *this = {};
    Fault = fault;
    Field = field;
    Reason = std::move(reason);
    return false;
  }
  // A write a table refused.
  bool FailWrite(TScheduleFile file, TTableStream& table, const char* what);
  // The records layer's refusal, as it gave it.
  bool FailSchedule(const TScheduleError& error, TRotaField field);
  bool Succeed() {
    *this = {};
    return true;
  }
};

}  // namespace kadrel
