#include "output/uPublishUser.h"

#include <cmath>
#include <cstdio>

#include "output/uIcs.h"
#include "platform/uClock.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uFolderSettings.h"
#include "schedule/uTimedDuty.h"

namespace kadrel {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// The fault in the user's words; the client's English follows it.
const char* FaultText(TDavFault fault) {
  switch (fault) {
    case TDavFault::None: break;
    case TDavFault::BadAddress: return "地址不对：要以 http:// 或 https:// 开头，并且不能含有密码";
    case TDavFault::Unreachable: return "连接不上：服务器没有运行，或者地址、端口不对";
    case TDavFault::Timeout: return "服务器在规定的时间内没有回答";
    case TDavFault::Tls: return "安全连接（HTTPS）失败：服务器的证书不被信任";
    case TDavFault::Unauthorized: return "用户名或密码不对";
    case TDavFault::Forbidden: return "服务器不允许这个帐户这样做";
    case TDavFault::NotFound: return "服务器上没有这个地址";
    case TDavFault::Conflict: return "服务器上已经有同名的日历或同一个事件";
    case TDavFault::Changed: return "事件在服务器上被修改过";
    case TDavFault::Full: return "服务器上的空间已满";
    case TDavFault::HttpStatus: return "服务器回答了一个错误";
    case TDavFault::BadAnswer: return "服务器的回答无法使用";
  }
  return "";
}

std::string NowText() {
  const TDateTime now = Now();
  const TYmd d = DecodeDate(WholeDays(now));
  const long minutes = std::lround((now - std::floor(now)) * 1440.0);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02ld:%02ld", d.Year, d.Month, d.Day, minutes / 60 % 24,
                minutes % 60);
  return text;
}

}  // namespace

TEventTexts SplitIcsEvents(std::string_view ics) {
  std::string head;
  std::string event;
  std::string uid;
  bool inEvent = false;
  TEventTexts events;
  while (!ics.empty()) {
    const std::size_t end = ics.find(kCrLf);
    const std::string_view line = ics.substr(0, end == std::string_view::npos ? ics.size() : end);
    ics.remove_prefix(end == std::string_view::npos ? ics.size() : end + kCrLf.size());
    if (line == "BEGIN:VEVENT") {
      inEvent = true;
      event.clear();
      uid.clear();
    }
    if (inEvent) {
      event.append(line).append(kCrLf);
      if (line.starts_with("UID:")) uid = line.substr(4);
      if (line == "END:VEVENT") {
        inEvent = false;
        if (!uid.empty()) events[uid] = head + event + "END:VCALENDAR\r\n";
      }
    } else if (events.empty() && !line.starts_with("X-WR-") && line != "END:VCALENDAR" && !line.empty()) {
      // The calendar's name belongs to the calendar, not to each object.
      head.append(line).append(kCrLf);
    }
  }
  return events;
}

std::string DefaultCalendarName(std::string_view gbkName) { return "Kadrel " + GbkToUtf8Lossy(gbkName); }

TPublishResult PublishUser(TScheduleFolder& folder, std::string_view gbkName, const TUserPublish& how) {
  TPublishResult result;
  const auto snapshot = folder.Snapshot();
  const auto index = snapshot->FindUser(gbkName);
  if (!index) {
    result.StateError.Fail(TEditFault::NotFound, "the user to publish is no longer in the data",
                           ScheduleFileName(TScheduleFile::User));
    return result;
  }
  const TUserSchedule user(snapshot, *index, std::make_shared<const TFolderTimes>(ReadFolderTimes(folder.Tables())));
  const auto key = folder.CalendarKey(user.Name(), result.StateError);
  if (!key || !folder.OpenForChange(TScheduleFile::Sync, result.StateError)) return result;
  TCalDavClient client(how.Account);
  if (client.Error().Failed()) {
    result.Error = client.Error();
    return result;
  }
  const std::string name = how.CalendarName.empty() ? DefaultCalendarName(user.Name()) : how.CalendarName;
  TIcsOptions ics;
  ics.Key = *key;
  const TEventTexts events = SplitIcsEvents(BuildIcsRange(user, how.First, how.Last, IcsTimestampNow(), ics));
  return Publish(client, folder.Tables().Sync, events, {name, UidPrefix(*key), how.Overwrite});
}


TSyncSettings ReadSyncSettings(TTableStream& config) {
  const std::vector<TSetting> all = ReadSettings(config);
  auto text = [&](std::string_view key) { return FindSetting(all, key).value_or(""); };
  return {text(kSyncUrlKey),      text(kSyncAccountKey),         text(kSyncUserKey),
          text(kSyncCalendarKey), SwitchOn(all, kSyncAutoKey), text(kSyncDoneAtKey)};
}

bool StoreSyncSettings(TScheduleFolder& folder, const TSyncSettings& settings, std::string& why) {
  TScheduleError openError;
  if (!folder.OpenForChange(TScheduleFile::Settings, openError)) {
    why = openError.Text();
    return false;
  }
  TTableStream& config = folder.Tables().Settings;
  const std::pair<std::string_view, std::string> values[] = {{kSyncUrlKey, settings.Url},
                                                             {kSyncAccountKey, settings.Account},
                                                             {kSyncUserKey, settings.User},
                                                             {kSyncCalendarKey, settings.Calendar},
                                                             {kSyncAutoKey, settings.Auto ? "1" : "0"}};
  TTimesError error;
  for (const auto& [key, value] : values) {
    // Each is checked before any is written, so a refused one changes nothing.
    if (!CheckSetting(key, value, error)) {
      why = error.Text();
      return false;
    }
  }
  for (const auto& [key, value] : values) {
    if (!SetSetting(config, key, value, error)) {
      why = error.Text();
      return false;
    }
  }
  return true;
}

TPublishResult PublishBySettings(TScheduleFolder& folder, const TSyncSettings& settings, const std::string& password) {
  const std::int64_t today = WholeDays(Today());
  const std::string calendar = settings.Calendar.empty() ? "" : GbkToUtf8Lossy(settings.Calendar);
  TUserPublish how;
  how.Account.Url = settings.Url;
  how.Account.User = settings.Account;
  how.Account.Password = password;
  how.CalendarName = calendar;
  how.First = today - kPublishDaysBack;
  how.Last = today + kPublishDaysAhead;
  TPublishResult result = PublishUser(folder, settings.User, how);
  TTimesError error;
  // The time of a publish is worth keeping, not worth failing one over.
  if (result.Ok() && result.Conflicts.empty() && folder.Tables().Settings.IsOpen()) {
    SetSetting(folder.Tables().Settings, kSyncDoneAtKey, NowText(), error);
  }
  return result;
}

std::string PublishReportText(const TPublishResult& result) {
  std::string text;
  if (result.Error.Failed()) {
    text = "同步到日历服务器 " + result.Error.Server + " 失败：" + FaultText(result.Error.Fault) + "。";
  } else if (result.StateError.Fault != TEditFault::None) {
    text = "没有同步：不能在数据文件夹中记下同步的内容。";
  } else {
    text = "已同步到 " + result.Calendar + "：新建" + std::to_string(result.Created) + "个，更新" +
           std::to_string(result.Updated) + "个，删除" + std::to_string(result.Deleted) + "个，未变" +
           std::to_string(result.Unchanged) + "个。";
  }
  if (!result.Conflicts.empty()) {
    text += "\n有" + std::to_string(result.Conflicts.size()) +
            "个事件在服务器上（例如在手机上）被修改过，Kadrel 没有覆盖它们。";
  }
  if (!result.Ok()) text += "\n" + result.Text();
  return text;
}

}  // namespace kadrel
