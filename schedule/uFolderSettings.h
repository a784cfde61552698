// The settings a data folder keeps for everyone who opens it (cfgdat.kd2,
// rule 6 of schedule/uTimeFiles.h), the time zone first.
//
// Keys of this version:
//   "TimeZone"  the zone the duty times are wall-clock times of: a name
//               TTimeZone::Find knows ("Asia/Shanghai"). Stored in the folder,
//               never per duty or per event, so that every export and every
//               reminder places a duty at the same instant.
//   "TrayKeep"  "1": closing the main window keeps Kadrel in the tray;
//               "0" or absent: closing it ends Kadrel.
//   "NoNotifierTold", "NoTrayTold"
//               "1": the desktop has told once that reminders are off for
//               want of a notification service, or that Kadrel cannot stay
//               in a tray the desktop lacks; it does not tell again.
//   "SyncUrl", "SyncAccount", "SyncUser", "SyncCalendar"
//               what the dialog 同步到手机日历… publishes, and where: the
//               calendar server's address, the account's user name, the
//               Kadrel user (GBK, as userdat.kd2 stores the name) and the
//               calendar's name (GBK; empty: the default). Never a password.
//   "SyncAuto"  "1": publish again after every change of the rota.
//   "SyncDoneAt"
//               when the last publish succeeded, "YYYY-MM-DD HH:MM" local
//               time; it says so, not that every event went.
// TimeZone, the Sync texts and SyncDoneAt are texts; every other key is a
// switch, "1" or "0".
//
// The zone of a folder that stores none is the system's, when the system
// names a zone this machine knows other than UTC, and Asia/Shanghai
// otherwise: a machine left at UTC (a server, a fresh container) is seldom
// where its shift worker works. Once a duty kind has times the zone matters,
// so the change that sets the first times stores the zone in use then
// (PinTimeZone, in the same change), and the times keep their meaning when
// the folder moves to a machine in another zone.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uTimeZone.h"
#include "schedule/uTimeFiles.h"
#include "store/uTableStream.h"

namespace kadrel {

inline constexpr std::string_view kTimeZoneKey = "TimeZone";
inline constexpr std::string_view kTrayKeepKey = "TrayKeep";
inline constexpr std::string_view kNoNotifierToldKey = "NoNotifierTold";
inline constexpr std::string_view kNoTrayToldKey = "NoTrayTold";
inline constexpr std::string_view kSyncUrlKey = "SyncUrl";
inline constexpr std::string_view kSyncAccountKey = "SyncAccount";
inline constexpr std::string_view kSyncUserKey = "SyncUser";
inline constexpr std::string_view kSyncCalendarKey = "SyncCalendar";
inline constexpr std::string_view kSyncAutoKey = "SyncAuto";
inline constexpr std::string_view kSyncDoneAtKey = "SyncDoneAt";

struct TSetting {
  std::string Key;
  std::string Value;  // GBK
};

// Every live record of an open table, in slot order; none when it is not
// open.
std::vector<TSetting> ReadSettings(TTableStream& config);
// The value of the first record of `key` (A..Z without case).
std::optional<std::string> FindSetting(std::span<const TSetting> settings, std::string_view key);

// Whether `key` is a setting of this version and `value` one it takes.
bool CheckSetting(std::string_view key, std::string_view value, TTimesError& error);
// Stores the setting after CheckSetting; `config` must be open for writing.
bool SetSetting(TTableStream& config, std::string_view key, std::string_view value, TTimesError& error);
// Removes it, if it is there: the setting goes back to its default.
bool ClearSetting(TTableStream& config, std::string_view key, TTimesError& error);

// The zone of a folder that stores none (see above).
std::string DefaultTimeZoneName();

enum class TZoneSource {
  Stored,   // the folder's own
  Default,  // the folder stores none: DefaultTimeZoneName
  Unknown,  // the folder names a zone this machine does not know: the default stands in
};

struct TFolderZone {
  TTimeZone Zone;
  TZoneSource Source = TZoneSource::Default;
  std::string StoredName;  // the name the folder stores, if any: for Unknown, for a front end to tell
};

TFolderZone FolderTimeZone(std::span<const TSetting> settings);
// Stores the zone in use when the folder stores none; nothing otherwise.
bool PinTimeZone(TTableStream& config, TTimesError& error);

// Whether closing the main window keeps Kadrel in the tray.
bool TrayKeep(std::span<const TSetting> settings);
// Whether the switch `key` is on ("1").
bool SwitchOn(std::span<const TSetting> settings, std::string_view key);

}  // namespace kadrel
