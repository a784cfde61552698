// The three files that give duty kinds their hours: the times of each duty
// kind, the folder's settings (its time zone first) and the ledger of the
// reminders sent. They are tables of the same kind as the three schedule
// files, live in the same folder, are created when their first record is
// written, and a folder without them shows every duty all day, as duties
// were before they had times.
//
//   file          holds           fields (index: name, type, width)
//   timedat.kd2   duty times      0 "DutyID" 1/4, 1 "Start" 1/4, 2 "Length" 1/4, 3 "Rest" 1/4,
//                                 4 "Color" 1/4, 5 "Remind" 1/4
//   cfgdat.kd2    settings        0 "Key" 3/20, 1 "Value" 3/200
//   remdat.kd2    reminders sent  0 "User" 3/10, 1 "Date" 4/8, 2 "DutyID" 1/4, 3 "Extra" 1/4,
//                                 4 "Start" 4/8, 5 "SentAt" 4/8
//
// Rules of the times file:
//   1. At most one live record per "DutyID", the "ID" of a live duty kind
//      (workdat.kd2). No record means all day, work, no colour, no reminder:
//      what every duty kind was before times existed. A record never holds
//      only those defaults: setting them removes it. Deleting a duty kind
//      removes its record in the same change.
//   2. "Start" is the minute of the day the duty starts, 0..1439 (20:00 is
//      1200), and -1 for an all-day duty. "Length" is its length in minutes,
//      1..2880, with a start, and 0 without. A start and a length, never an
//      end, so that 20:00 + 720 and duties of 24 or 36 hours say what they
//      mean. A duty belongs to the day it starts on.
//   3. "Rest" is 1 for rest (free time), 0 for work (busy).
//   4. "Color" is 0xRRGGBB, -1 for none.
//   5. "Remind" is the minutes before the start a reminder is due,
//      0..kMaxRemindMinutes, -1 for none. Only a duty with a start has one:
//      a reminder of an all-day duty would come at midnight.
//   A value a reader finds outside these ranges (a damaged file, a later
//   version) counts as not given: a start or length out of range makes the
//   duty all day, a colour or reminder out of range none.
// Rules of the settings file:
//   6. At most one live record per "Key" (A..Z compared without case).
//      Values are GBK text. The keys of this version are listed in
//      uFolderSettings.h; a record of another key is kept and passed over.
// Rules of the ledger:
//   7. A record says that the reminder of one duty went out at "SentAt" (a
//      TDateTime of UTC): the duty of user "User" (as userdat.kd2 stores the
//      name) that belongs to day "Date" and starts at "Start" (a TDateTime of
//      UTC), of duty kind "DutyID"; "Extra" is 0 for the day's own duty and
//      the "ID" of the 加班 exception that added it otherwise. A reminder is
//      sent once per such duty, also after a restart; a duty moved to
//      another start is another duty and is reminded of again.
//   8. Every write of the ledger drops the records whose "Start" lies more
//      than kLedgerKeepDays before the write: a reminder is only ever sent
//      before its start, so such a record can no longer stop one.
#pragma once

#include <cstdint>
#include <string>

#include "schedule/uScheduleFiles.h"
#include "schedule/uTableSchema.h"
#include "store/uTableError.h"
#include "store/uTableStream.h"

namespace kadrel {

enum class TTimeFile { Times, Settings, Ledger };

// Field indexes, in definition order.
inline constexpr int kTimesDutyID = 0, kTimesStart = 1, kTimesLength = 2, kTimesRest = 3, kTimesColor = 4,
                     kTimesRemind = 5;
inline constexpr int kCfgKey = 0, kCfgValue = 1;
inline constexpr int kSentUser = 0, kSentDate = 1, kSentDutyID = 2, kSentExtra = 3, kSentStart = 4, kSentAt = 5;

inline constexpr std::int32_t kMinutesPerDay = 1440;
inline constexpr std::int32_t kMaxDutyMinutes = 2880;     // two days
inline constexpr std::int32_t kMaxRemindMinutes = 10080;  // a week
inline constexpr std::int32_t kNoColor = -1;
// Longest texts, in GBK bytes (the width less the zero byte).
inline constexpr std::size_t kSettingKeyMaxBytes = 19;
inline constexpr std::size_t kSettingValueMaxBytes = 199;
// A margin: a clock set back by up to this many days still finds the
// reminders it sent.
inline constexpr std::int64_t kLedgerKeepDays = 3;

// "timedat.kd2", "cfgdat.kd2" or "remdat.kd2", and its fields.
const char* TimeFileName(TTimeFile file);
TTableSchema TimeSchema(TTimeFile file);
// The file's name inside `dir`; the bare name when `dir` is empty.
std::string TimePath(const std::string& dir, TTimeFile file);

// As OpenRotaFileIfAny and OpenOrCreateRotaFile (schedule/uRotaFiles.h): a
// missing or empty file means no records, true with `table` left closed;
// anything else that cannot be opened, or has other fields, is refused.
bool OpenTimeFileIfAny(TTableStream& table, TTimeFile file, const std::string& dir, std::uint16_t mode,
                       TScheduleError& error);
bool OpenOrCreateTimeFile(TTableStream& table, TTimeFile file, const std::string& dir, TScheduleError& error);

// --- Refusals ---------------------------------------------------------------

// The input a change names, for a front end to point at.
enum class TTimesField { None, Duty, Start, Length, Rest, Color, Remind, Key, Value, TimeZone };

// Why a change was refused; nothing was written.
enum class TTimesFault {
  None,
  UnknownDuty,  // no live duty kind with that ID
  BadValue,     // not in the field's form or range: HH:MM, 1..2880 minutes, #RRGGBB, ...
  NeedsStart,   // a length or a reminder without a start time
  UnknownZone,  // no time zone of that name on this system
  UnknownKey,   // not a setting of this version
  BadText,      // not valid GBK, or a control byte
  TooLong,      // more bytes than the field holds
  WriteFailed,  // a table refused the write, or is not open; Table says why
};

struct TTimesError {
  TTimesFault Fault = TTimesFault::None;
  TTimesField Field = TTimesField::None;
  std::string File;    // the bare file name when a file is at fault
  std::string Reason;  // plain English, naming the field, without the file's name
  TTableError Table;   // what the store found wrong, when a table refused

  std::string Text() const { return File.empty() ? Reason : File + ": " + Reason; }
  bool Fail(TTimesFault fault, TTimesField field, std::string reason) {
    *this = {};
    Fault = fault;
    Field = field;
    Reason = std::move(reason);
    return false;
  }
  // A write the table refused, or a table that is not open.
  bool FailWrite(TTimeFile file, TTableStream& table, const char* what);
  bool Succeed() {
    *this = {};
    return true;
  }
};

}  // namespace kadrel
