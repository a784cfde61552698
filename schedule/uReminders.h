// Reminders before a duty: which are due, their text, and the ledger that
// sends each one once (remdat.kd2, rules 7 and 8 of schedule/uTimeFiles.h).
//
// A reminder belongs to a timed duty whose duty kind has one: it is due its
// minutes before the duty's start. Everything here is a function of the
// folder's snapshot, its times, its zone and a clock value given by the
// caller, so `kadrel-cli reminders`, the desktop's timer and the tests ask
// the same questions and get the same answers.
//
// The desktop sends what PendingReminders gives, then records it with
// RecordSent: a reminder due while Kadrel was not running is sent at the
// next start, as long as its duty has not started; once it has, the
// reminder is never sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "schedule/uRotaResolver.h"
#include "schedule/uTimedDuty.h"
#include "store/uTableStream.h"

namespace kadrel {

// The duty's name points into the snapshot (schedule/uTimedDuty.h).
struct TReminder {
  std::size_t User = 0;  // in the snapshot
  std::string UserName;  // as userdat.kd2 stores it
  TTimedDuty Duty;
  TDutySpan Span;
  TUtcTime Due;  // Span.Begin less Duty.Remind minutes
};

// Every user's reminders due in [from, to), by due time, then user, then
// start.
std::vector<TReminder> DueReminders(const TRotaSnapshot& snapshot, const TDutyTimesMap& times,
                                    const TTimeZone& zone, TUtcTime from, TUtcTime to);

// The reminder's text at `now`, in GBK: "夜班 20:00 开始（还有60分钟）".
// The time left is counted from `now`, or from the due time when `now` is
// earlier (a listing ahead of time). A start on a later day than `now`
// says which: "明天08:00", "10月1日08:00".
std::string ReminderText(const TReminder& reminder, TUtcTime now, const TTimeZone& zone);

// When a duty starts, as a person says it at `now`, in GBK: "20:00" on the
// day of `now`, "明天20:00" on the next, "10月1日20:00" later. An all-day
// duty has its day alone: "今天", "明天", "10月1日".
std::string StartText(const TTimedDuty& duty, const TDutySpan& span, TUtcTime now, const TTimeZone& zone);

// --- The ledger ------------------------------------------------------------------

struct TSentReminder {
  std::string User;
  TDateTime Date = 0;  // the duty's day
  std::int32_t DutyID = 0;
  std::int32_t Extra = 0;
  TDateTime Start = 0;   // UTC
  TDateTime SentAt = 0;  // UTC
};

// Every live record of an open table, in slot order; none when it is not
// open (nothing was ever sent).
std::vector<TSentReminder> ReadLedger(TTableStream& ledger);

// The reminders to send at `now`: due at or before `now`, their duty not
// yet started, and not in `sent`.
std::vector<TReminder> PendingReminders(const TRotaSnapshot& snapshot, const TDutyTimesMap& times,
                                        const TTimeZone& zone, std::span<const TSentReminder> sent, TUtcTime now);

// Records that `reminders` went out at `now`, and drops the records rule 8
// lets go, in one change. `ledger` must be open for writing.
bool RecordSent(TTableStream& ledger, std::span<const TReminder> reminders, TUtcTime now, TTimesError& error);

// The ledger's records of user `from` carried to the name `to`, in the same
// change as the rename, so that a renamed user is not reminded twice. A
// table that is not open has nothing to carry.
bool RenameLedgerUser(TTableStream& ledger, std::string_view from, std::string_view to, TTimesError& error);

}  // namespace kadrel
