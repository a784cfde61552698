#include "schedule/uFolderSettings.h"

#include <algorithm>
#include <array>

#include "platform/uGbk.h"
#include "schedule/uTableWalk.h"

namespace kadrel {
namespace {

constexpr std::array<std::string_view, 10> kKeys = {kTimeZoneKey,     kTrayKeepKey,    kNoNotifierToldKey,
                                                    kNoTrayToldKey,   kSyncUrlKey,     kSyncAccountKey,
                                                    kSyncUserKey,     kSyncCalendarKey, kSyncAutoKey,
                                                    kSyncDoneAtKey};

bool IsTextKey(std::string_view key) {
  return key == kSyncUrlKey || key == kSyncAccountKey || key == kSyncUserKey || key == kSyncCalendarKey ||
         key == kSyncDoneAtKey;
}

// The key as this version writes it, whatever case it was given in; none
// for a key of another version.
std::optional<std::string_view> CanonicalKey(std::string_view key) {
  for (std::string_view known : kKeys) {
    if (GbkEqualFoldAZ(key, known)) return known;
  }
  return std::nullopt;
}

std::string KeyList() {
  std::string list;
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    list += i == 0 ? "" : i + 1 == kKeys.size() ? " and " : ", ";
    list += kKeys[i];
  }
  return list;
}

bool KeyIs(TTableStream& config, std::string_view key) {
  return GbkEqualFoldAZ(config.FieldByIndex(kCfgKey).AsString(), key);
}

TTimeZone ZoneOrShanghai(const std::string& name) {
  if (auto zone = TTimeZone::Find(name)) return *zone;
  return TTimeZone::Shanghai();
}

}  // namespace

std::vector<TSetting> ReadSettings(TTableStream& config) {
  std::vector<TSetting> settings;
  ForEachLive(config, [&] {
    settings.push_back({config.FieldByIndex(kCfgKey).AsString(), config.FieldByIndex(kCfgValue).AsString()});
    return true;
  });
  return settings;
}

std::optional<std::string> FindSetting(std::span<const TSetting> settings, std::string_view key) {
  const auto it =
      std::find_if(settings.begin(), settings.end(), [&](const TSetting& s) { return GbkEqualFoldAZ(s.Key, key); });
  if (it == settings.end()) return std::nullopt;
  return it->Value;
}

bool CheckSetting(std::string_view key, std::string_view value, TTimesError& error) {
  const std::optional<std::string_view> known = CanonicalKey(key);
  if (!known) return error.Fail(TTimesFault::UnknownKey, TTimesField::Key, "not a setting; the settings are " + KeyList());
  if (*known == kTimeZoneKey) {
    if (TTimeZone::Find(value)) return error.Succeed();
    return error.Fail(TTimesFault::UnknownZone, TTimesField::TimeZone,
                      "the time zone is not one this system knows (a name such as Asia/Shanghai)");
  }
  if (IsTextKey(*known)) {
    if (value.size() > kSettingValueMaxBytes) {
      return error.Fail(TTimesFault::BadValue, TTimesField::Value,
                        std::string(*known) + " holds at most " + std::to_string(kSettingValueMaxBytes) + " bytes");
    }
    if (std::any_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
      return error.Fail(TTimesFault::BadValue, TTimesField::Value, std::string(*known) + " is one line");
    }
    return error.Succeed();
  }
  if (value == "1" || value == "0") return error.Succeed();
  return error.Fail(TTimesFault::BadValue, TTimesField::Value, std::string(*known) + " is 1 or 0");
}

bool SetSetting(TTableStream& config, std::string_view key, std::string_view value, TTimesError& error) {
  if (!CheckSetting(key, value, error)) return false;
  const std::string_view stored = *CanonicalKey(key);
  const bool written = config.IsOpen() && PutOnlyRecord(
                                              config, [&] { return KeyIs(config, stored); },
                                              [&] {
                                                return config.SetText(kCfgKey, stored) &&
                                                       config.SetText(kCfgValue, value) && config.Post();
                                              });
  return written ? error.Succeed() : error.FailWrite(TTimeFile::Settings, config, "writing the setting failed");
}

bool ClearSetting(TTableStream& config, std::string_view key, TTimesError& error) {
  if (!CanonicalKey(key)) return CheckSetting(key, {}, error);
  if (DeleteRecords(config, [&] { return KeyIs(config, key); })) return error.Succeed();
  return error.FailWrite(TTimeFile::Settings, config, "removing the setting failed");
}

std::string DefaultTimeZoneName() {
  std::string system = SystemTimeZoneName();
  if (system.empty() || IsUtcZoneName(system)) return std::string(kShanghaiZone);
  return system;
}

TFolderZone FolderTimeZone(std::span<const TSetting> settings) {
  const std::optional<std::string> stored = FindSetting(settings, kTimeZoneKey);
  if (!stored) return {ZoneOrShanghai(DefaultTimeZoneName()), TZoneSource::Default, {}};
  if (auto zone = TTimeZone::Find(*stored)) return {*zone, TZoneSource::Stored, *stored};
  return {ZoneOrShanghai(DefaultTimeZoneName()), TZoneSource::Unknown, *stored};
}

bool PinTimeZone(TTableStream& config, TTimesError& error) {
  if (FindSetting(ReadSettings(config), kTimeZoneKey)) return error.Succeed();
  return SetSetting(config, kTimeZoneKey, ZoneOrShanghai(DefaultTimeZoneName()).Name(), error);
}

bool TrayKeep(std::span<const TSetting> settings) { return SwitchOn(settings, kTrayKeepKey); }

bool SwitchOn(std::span<const TSetting> settings, std::string_view key) { return FindSetting(settings, key) == "1"; }

}  // namespace kadrel
