// One user's resolved rota as calendar objects, and its publish: what
// kadrel-cli publish and the dialog 同步到手机日历… both call, so the two
// put the same events on a server and keep the same records.
//
// The events are those of the calendar file (output/uIcs.h) for the days
// asked, one object per event: the file's head (its VTIMEZONE included, as
// RFC 4791 wants each object to carry the zones it uses) around one VEVENT.
// The UIDs carry the user's calendar key (schedule/uSyncFiles.h), which the
// folder makes the first time, so the publish owns exactly the objects of
// that key's prefix on the server.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "output/uCalDav.h"
#include "output/uPublish.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uSyncFiles.h"

namespace kadrel {

// The longest range a calendar is built for: ten years, leap days included.
inline constexpr std::int64_t kMaxCalendarDays = 3653;
// What a publish covers unless told otherwise: the month past, for a look
// back, and a year and a bit ahead, as far as a phone's agenda reaches.
inline constexpr std::int64_t kPublishDaysBack = 30, kPublishDaysAhead = 400;

// Every VEVENT of `ics` as an object of its own, by UID.
TEventTexts SplitIcsEvents(std::string_view ics);

struct TUserPublish {
  TDavAccount Account;
  std::string CalendarName;  // UTF-8; empty: DefaultCalendarName
  std::int64_t First = 0;    // whole days, at most kMaxCalendarDays of them
  std::int64_t Last = 0;
  bool Overwrite = false;    // replace what was changed on the server
};

// "Kadrel 张三", UTF-8, for the user's GBK name.
std::string DefaultCalendarName(std::string_view gbkName);

// A publish ready to run on any thread: all it needs of the folder, taken
// on the folder's own thread, so that the rota may change meanwhile.
struct TPublishJob {
  TDavAccount Account;
  std::string CalendarName;  // UTF-8
  std::string User;          // GBK, as userdat.kd2 stores it
  std::string Key;           // of the user's calendar
  bool KeyIsNew = false;     // not in uiddat.kd2 yet: kept before the first record
  std::string Dir;           // the data folder, where syncdat.kd2 is
  TEventTexts Events;
  bool Overwrite = false;
};

// The job of publishing the user of `folder` (open for writing) called
// `gbkName`, with the folder's duty times, as `how` says. Nullopt, `error`
// saying why, for a user not there or a folder open for viewing only.
// Writes nothing; releases the folder's own hold of syncdat.kd2, which the
// job opens for itself.
std::optional<TPublishJob> PreparePublish(TScheduleFolder& folder, std::string_view gbkName, const TUserPublish& how,
                                          TScheduleError& error);

// Runs `job` on the calling thread. It opens syncdat.kd2 of job.Dir itself,
// and makes it only once there is a record to write; a new key is kept
// before that through `keepKey`, which the caller runs where the folder
// lives (TScheduleFolder::KeepCalendarKey). So a publish that fails before
// it writes anything leaves no file behind.
TPublishResult RunPublish(const TPublishJob& job, const std::function<bool(TScheduleError&)>& keepKey);

// PreparePublish and RunPublish on this thread, as kadrel-cli publishes.
TPublishResult PublishUser(TScheduleFolder& folder, std::string_view gbkName, const TUserPublish& how);

// What the dialog 同步到手机日历… keeps in the folder's settings
// (schedule/uFolderSettings.h); never the password.
struct TSyncSettings {
  std::string Url;
  std::string Account;
  std::string User;      // GBK, as userdat.kd2 stores the name
  std::string Calendar;  // GBK; empty: DefaultCalendarName
  bool Auto = false;
  std::string DoneAt;    // "YYYY-MM-DD HH:MM" of the last publish that succeeded
};
TSyncSettings ReadSyncSettings(TTableStream& config);
// Stores every field but DoneAt; false with `why`.
bool StoreSyncSettings(TScheduleFolder& folder, const TSyncSettings& settings, std::string& why);

// The job of publishing the days around today of the user the settings
// name; PublishDone records when it succeeded, on the folder's thread.
std::optional<TPublishJob> PrepareBySettings(TScheduleFolder& folder, const TSyncSettings& settings,
                                             const std::string& password, TScheduleError& error);
void PublishDone(TScheduleFolder& folder, const TPublishResult& result);
// The three on this thread. A user no longer in the folder is a StateError.
TPublishResult PublishBySettings(TScheduleFolder& folder, const TSyncSettings& settings, const std::string& password);

// The result as the desktop tells it, in Chinese (UTF-8): what was sent, or
// which server failed and why, with the client's own words after it.
std::string PublishReportText(const TPublishResult& result);

}  // namespace kadrel
