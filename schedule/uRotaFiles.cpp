#include "schedule/uRotaFiles.h"

#include <array>
#include <filesystem>

namespace kadrel {
namespace {

constexpr std::int16_t kInteger = 1, kText = 3, kDate = 4;

constexpr std::array<TFieldSpec, 12> kExceptionSchema = {{{"ID", kInteger, 4},
                                                           {"User", kText, 10},
                                                           {"Kind", kInteger, 4},
                                                           {"First", kDate, 8},
                                                           {"Last", kDate, 8},
                                                           {"DutyID", kInteger, 4},
                                                           {"Partner", kText, 10},
                                                           {"Link", kInteger, 4},
                                                           {"Leave", kText, 10},
                                                           {"Note", kText, 50},
                                                           {"Start", kInteger, 4},
                                                           {"Length", kInteger, 4}}};
constexpr std::array<TFieldSpec, 6> kHistorySchema = {{{"ID", kInteger, 4},
                                                        {"User", kText, 10},
                                                        {"Until", kDate, 8},
                                                        {"ShiftID", kInteger, 4},
                                                        {"Start", kDate, 8},
                                                        {"FirstID", kInteger, 4}}};

static_assert(kExceptionSchema[kExcLength].Name == "Length" && kHistorySchema[kHistFirstID].Name == "FirstID");
static_assert(kExceptionSchema[kExcUser].Width == kNameMaxBytes + 1 &&
              kExceptionSchema[kExcPartner].Width == kNameMaxBytes + 1 &&
              kExceptionSchema[kExcLeave].Width == kNameMaxBytes + 1 &&
              kHistorySchema[kHistUser].Width == kNameMaxBytes + 1);
static_assert(kExceptionSchema[kExcNote].Width == kNoteMaxBytes + 1);

}  // namespace

const char* RotaFileName(TRotaFile file) {
  return file == TRotaFile::Exceptions ? "excdat.kd2" : "histdat.kd2";
}

TTableSchema RotaSchema(TRotaFile file) {
  if (file == TRotaFile::Exceptions) return {RotaFileName(file), kExceptionSchema};
  return {RotaFileName(file), kHistorySchema};
}

std::string RotaPath(const std::string& dir, TRotaFile file) {
  if (dir.empty()) return RotaFileName(file);
  return (std::filesystem::path(dir) / RotaFileName(file)).string();
}

bool OpenRotaFileIfAny(TTableStream& table, TRotaFile file, const std::string& dir, std::uint16_t mode,
                       TScheduleError& error) {
  const std::string path = RotaPath(dir, file);
  if (ScheduleFileMissing(path)) return error.Succeed();
  return OpenSchemaFile(table, RotaSchema(file), path, mode, error);
}

bool OpenOrCreateRotaFile(TTableStream& table, TRotaFile file, const std::string& dir, TScheduleError& error) {
  return OpenOrCreateSchemaFile(table, RotaSchema(file), RotaPath(dir, file), error);
}

bool TRotaError::FailWrite(TRotaFile file, TTableStream& table, const char* what) {
  Fail(TRotaFault::WriteFailed, TRotaField::None, std::string(what) + ": " + TableReason(table, "unknown error"));
  File = RotaFileName(file);
  Table = table.Error();
  return false;
}

bool TRotaError::FailSchedule(const TScheduleError& error, TRotaField field) {
  Fail(TRotaFault::Schedule, field, error.Reason);
  Edit = error.Fault;
  File = error.File;
  Table = error.Table;
  return false;
}

}  // namespace kadrel
