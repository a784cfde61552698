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
    case TDavFault::Cancelled: return "同步被中止了";
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

std::optional<TPublishJob> PreparePublish(TScheduleFolder& folder, std::string_view gbkName, const TUserPublish& how,
                                          TScheduleError& error) {
  const auto snapshot = folder.Snapshot();
  const auto index = snapshot->FindUser(gbkName);
  if (!index) {
    error.Fail(TEditFault::NotFound, "the user to publish is no longer in the data", ScheduleFileName(TScheduleFile::User));
    return std::nullopt;
  }
  if (folder.ReadOnly()) {
    error.Fail(TEditFault::CannotOpen, "the data is open for viewing only", kSyncFileName);
    return std::nullopt;
  }
  const TUserSchedule user(snapshot, *index, std::make_shared<const TFolderTimes>(ReadFolderTimes(folder.Tables())));
  TPublishJob job;
  job.Account = how.Account;
  job.User = user.Name();
  job.Dir = folder.Dir();
  job.Overwrite = how.Overwrite;
  job.CalendarName = how.CalendarName.empty() ? DefaultCalendarName(user.Name()) : how.CalendarName;
  if (auto key = FindUserKey(folder.Tables().Keys, user.Name())) {
    job.Key = std::move(*key);
  } else {
    std::string problem;
    auto made = NewUserKey(problem);
    if (!made) {
      error.Fail(TEditFault::WriteFailed, problem, kKeysFileName);
      return std::nullopt;
    }
    job.Key = std::move(*made);
    job.KeyIsNew = true;
  }
  TIcsOptions ics;
  ics.Key = job.Key;
  job.Events = SplitIcsEvents(BuildIcsRange(user, how.First, how.Last, IcsTimestampNow(), ics));
  // The job's own writer takes the file; the folder reopens it when asked.
  folder.Tables().Sync.Close();
  error.Succeed();
  return job;
}

TPublishResult RunPublish(const TPublishJob& job, const std::function<bool(TScheduleError&)>& keepKey) {
  TPublishResult result;
  TTableStream records;
  if (!OpenSyncFileIfAny(records, job.Dir, TTableStream::kModeReadWrite, result.StateError)) return result;
  TCalDavClient client(job.Account);
  if (client.Error().Failed()) {
    result.Error = client.Error();
    return result;
  }
  result = Publish(client, records, job.Events, {job.CalendarName, UidPrefix(job.Key), job.Overwrite},
                   [&](TScheduleError& error) {
                     if (job.KeyIsNew && !keepKey(error)) return false;
                     return records.IsOpen() || OpenOrCreateSyncFile(records, job.Dir, error);
                   });
  if (records.IsOpen() && !records.Close() && result.StateError.Fault == TEditFault::None) {
    result.StateError.Fail(TEditFault::WriteFailed, TableReason(records, "closing failed"), kSyncFileName,
                           records.Error());
  }
  return result;
}

TPublishResult PublishUser(TScheduleFolder& folder, std::string_view gbkName, const TUserPublish& how) {
  TPublishResult result;
  const auto job = PreparePublish(folder, gbkName, how, result.StateError);
  if (!job) return result;
  return RunPublish(*job, [&](TScheduleError& error) { return folder.KeepCalendarKey(job->User, job->Key, error); });
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

std::optional<TPublishJob> PrepareBySettings(TScheduleFolder& folder, const TSyncSettings& settings,
                                             const std::string& password, TScheduleError& error) {
  const std::int64_t today = WholeDays(Today());
  TUserPublish how;
  how.Account.Url = settings.Url;
  how.Account.User = settings.Account;
  how.Account.Password = password;
  how.CalendarName = settings.Calendar.empty() ? "" : GbkToUtf8Lossy(settings.Calendar);
  how.First = today - kPublishDaysBack;
  how.Last = today + kPublishDaysAhead;
  return PreparePublish(folder, settings.User, how, error);
}

void PublishDone(TScheduleFolder& folder, const TPublishResult& result) {
  TTimesError error;
  // The time of a publish is worth keeping, not worth failing one over.
  if (result.Ok() && result.Conflicts.empty() && folder.Tables().Settings.IsOpen()) {
    SetSetting(folder.Tables().Settings, kSyncDoneAtKey, NowText(), error);
  }
}

TPublishResult PublishBySettings(TScheduleFolder& folder, const TSyncSettings& settings, const std::string& password) {
  TPublishResult result;
  const auto job = PrepareBySettings(folder, settings, password, result.StateError);
  if (!job) return result;
  result = RunPublish(*job, [&](TScheduleError& error) { return folder.KeepCalendarKey(job->User, job->Key, error); });
  PublishDone(folder, result);
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
