// The year schedule as an iCalendar file (RFC 5545), so that a rota can be
// imported into a phone or any calendar program.
//
// One all-day event per chosen day that has a duty (DTSTART as a date and
// DURATION:P1D, valid for every year 1 to 9999). The UID is
// "kadrel-<key>-<date>-<kind>": the user's calendar key (uiddat.kd2,
// schedule/uSyncFiles.h), never the name, so that two folders never share a
// UID and no name shows in one; the date; and the kind of event ("day" for
// the day's own). Importing a newer export of the same user updates the
// events instead of duplicating them. A day an exception
// changes has an event even without a duty (its summary is then 无), so that
// a newer export replaces what an older one gave the day, and its
// description names the change as the hover text does. Unlike every other
// Kadrel document the file is UTF-8, as the standard requires.
//
// With the folder's duty times (TUserSchedule::Times), a day that has a
// timed duty gives one event per duty instead: a timed duty an event with
// DTSTART;TZID=<the folder's zone> and a DURATION of its elapsed minutes,
// and the VTIMEZONE of that zone once in the file; an alarm when its duty
// kind has a reminder; TRANSP OPAQUE for work and TRANSPARENT for rest. The
// day's first event keeps the day's UID, so an import replaces what an
// export without times gave the day; the others add the ID of the 加班 that
// brings them. An all-day event stays TRANSPARENT and never has an alarm: it
// says what the day is, not when the person is busy, and an alarm on it
// would ring at midnight. Without times, or a day without a timed duty, the
// day's event is exactly as above.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "output/uExport.h"
#include "output/uMonthSet.h"
#include "schedule/uRotaResolver.h"

namespace kadrel {

struct TIcsOptions {
  // Leave out the duties whose kind is rest; a day of rest duties alone
  // then has no event.
  bool NoRest = false;
  // The user's calendar key; empty: KeyOfName, for a folder that keeps none.
  std::string Key;
  // A subscription: the calendar asks its readers to fetch it again after
  // this many hours (REFRESH-INTERVAL and X-PUBLISHED-TTL); 0: a file for
  // importing once.
  int RefreshHours = 0;
};

// "kadrel-<key>-": what every UID of the key's events starts with, and so
// what a publish or a vdir owns.
std::string UidPrefix(std::string_view key);

// A key for a user whose folder cannot keep one (it may only be viewed): 32
// hex digits that follow from the name, so exports stay stable meanwhile,
// without showing it.
std::string KeyOfName(std::string_view gbkName);

// `dtstamp` is the UTC creation time as YYYYMMDDTHHMMSSZ.
std::string BuildIcsFile(const TUserSchedule& user, int year, TMonthSet months, std::string_view dtstamp,
                         const TIcsOptions& options = {});
// The days first..last (whole days), as above; the calendar's name is the
// user's without a year.
std::string BuildIcsRange(const TUserSchedule& user, std::int64_t first, std::int64_t last, std::string_view dtstamp,
                          const TIcsOptions& options = {});

// Whether a calendar built by BuildIcsFile holds any event.
bool HasIcsEvent(std::string_view ics);

// The clock's present time, in UTC, in the form DTSTAMP needs.
std::string IcsTimestampNow();

// Escapes TEXT values: backslash, semicolon, comma and line breaks; drops the
// other control characters but the tab.
std::string IcsEscape(std::string_view utf8);

// Folds one content line (without its CR LF) at 75 octets, never inside a
// UTF-8 character; continuation lines start with a space.
std::string IcsFold(std::string_view line);

std::optional<TIoError> SaveAsIcs(const TUserSchedule& user, int year, TMonthSet months,
                                  const std::string& fileName,
                                  TFileOps& ops = TFileOps::System(), const TIcsOptions& options = {});

}  // namespace kadrel
