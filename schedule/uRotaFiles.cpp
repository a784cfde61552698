#include "schedule/uRotaFiles.h"

#include "schedule/uTableSchema.h"

namespace kadrel {

bool OpenRotaFileIfAny(TTableStream& table, TScheduleFile file, const std::string& dir, std::uint16_t mode,
                       TScheduleError& error) {
  const std::string path = SchedulePath(dir, file);
  if (ScheduleFileMissing(path)) return error.Succeed();
  return OpenScheduleFile(table, file, path, mode, error);
}

bool OpenOrCreateRotaFile(TTableStream& table, TScheduleFile file, const std::string& dir, TScheduleError& error) {
  return OpenOrCreateScheduleFile(table, file, SchedulePath(dir, file), error);
}

bool TRotaError::FailWrite(TScheduleFile file, TTableStream& table, const char* what) {
  Fail(TRotaFault::WriteFailed, TRotaField::None, std::string(what) + ": " + TableReason(table, "unknown error"));
  File = ScheduleFileName(file);
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
