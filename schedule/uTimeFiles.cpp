#include "schedule/uTimeFiles.h"

#include <array>
#include <filesystem>

namespace kadrel {
namespace {

constexpr std::int16_t kInteger = 1, kText = 3, kDate = 4;

constexpr std::array<TFieldSpec, 6> kTimesSchema = {{{"DutyID", kInteger, 4},
                                                      {"Start", kInteger, 4},
                                                      {"Length", kInteger, 4},
                                                      {"Rest", kInteger, 4},
                                                      {"Color", kInteger, 4},
                                                      {"Remind", kInteger, 4}}};
constexpr std::array<TFieldSpec, 2> kSettingsSchema = {{{"Key", kText, 20}, {"Value", kText, 200}}};
constexpr std::array<TFieldSpec, 6> kLedgerSchema = {{{"User", kText, 10},
                                                      {"Date", kDate, 8},
                                                      {"DutyID", kInteger, 4},
                                                      {"Extra", kInteger, 4},
                                                      {"Start", kDate, 8},
                                                      {"SentAt", kDate, 8}}};

static_assert(kTimesSchema[kTimesRemind].Name == "Remind" && kLedgerSchema[kSentAt].Name == "SentAt");
static_assert(kSettingsSchema[kCfgKey].Width == kSettingKeyMaxBytes + 1 &&
              kSettingsSchema[kCfgValue].Width == kSettingValueMaxBytes + 1);
static_assert(kLedgerSchema[kSentUser].Width == kNameMaxBytes + 1);

}  // namespace

const char* TimeFileName(TTimeFile file) {
  switch (file) {
    case TTimeFile::Times: return "timedat.kd2";
    case TTimeFile::Settings: return "cfgdat.kd2";
    case TTimeFile::Ledger: break;
  }
  return "remdat.kd2";
}

TTableSchema TimeSchema(TTimeFile file) {
  switch (file) {
    case TTimeFile::Times: return {TimeFileName(file), kTimesSchema};
    case TTimeFile::Settings: return {TimeFileName(file), kSettingsSchema};
    case TTimeFile::Ledger: break;
  }
  return {TimeFileName(file), kLedgerSchema};
}

std::string TimePath(const std::string& dir, TTimeFile file) {
  if (dir.empty()) return TimeFileName(file);
  return (std::filesystem::path(dir) / TimeFileName(file)).string();
}

bool OpenTimeFileIfAny(TTableStream& table, TTimeFile file, const std::string& dir, std::uint16_t mode,
                       TScheduleError& error) {
  const std::string path = TimePath(dir, file);
  if (ScheduleFileMissing(path)) return error.Succeed();
  return OpenSchemaFile(table, TimeSchema(file), path, mode, error);
}

bool OpenOrCreateTimeFile(TTableStream& table, TTimeFile file, const std::string& dir, TScheduleError& error) {
  return OpenOrCreateSchemaFile(table, TimeSchema(file), TimePath(dir, file), error);
}

bool TTimesError::FailWrite(TTimeFile file, TTableStream& table, const char* what) {
  Fail(TTimesFault::WriteFailed, TTimesField::None,
       table.IsOpen() ? std::string(what) + ": " + TableReason(table, "unknown error") : "the data file is not open");
  File = TimeFileName(file);
  Table = table.Error();
  return false;
}

}  // namespace kadrel
