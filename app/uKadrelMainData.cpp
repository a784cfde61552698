#include "app/uKadrelMainData.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kadrel {

namespace {

// A missing file and an empty one (left by an interrupted creation) are made anew.
bool Missing(const std::string& path) { return ScheduleFileMissing(path); }

std::function<bool(const std::string&)>& WriteAccess() {
  static std::function<bool(const std::string&)> access = [](const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  };
  return access;
}

// Why an existing file did not open. The store refuses what is not a
// regular file before opening it, so nothing here looks at the file again.
TOpenFault FaultOfExisting(const TTableError& why) {
  switch (why.Kind) {
    case TTableFault::NotRegular: return TOpenFault::NotRegular;
    // A change in flight too long is another program at work on the file.
    case TTableFault::InUse:
    case TTableFault::Busy: return TOpenFault::InUse;
    case TTableFault::NoPermission: return TOpenFault::NoPermission;
    default: return TOpenFault::Damaged;
  }
}

}  // namespace

bool MayWrite(const std::string& path) { return WriteAccess()(path); }

TWriteAccessOverride::TWriteAccessOverride(std::function<bool(const std::string&)> mayWrite)
    : TScopedOverride(WriteAccess(), std::move(mayWrite)) {}

TMainTables OpenMainTables(const std::string& dir) {
  TMainTables result;
  auto tables = std::make_unique<TScheduleTables>();
  // `why` is a copy: it may be a table's own, and the tables go first.
  auto fail = [&](TScheduleFile file, bool creating, TTableError why) {
    tables.reset();  // released without a write
    TOpenFailure& failure = result.Failure;
    failure.File = ScheduleFileName(file);
    failure.Why = std::move(why);
    failure.Creating = creating;
    if (!creating) {
      failure.Fault = FaultOfExisting(failure.Why);
    } else {
      const bool denied = failure.Why.Kind == TTableFault::NoPermission || !MayWrite(dir.empty() ? "." : dir);
      failure.Fault = denied ? TOpenFault::NoPermission : TOpenFault::CannotCreate;
    }
    return std::move(result);
  };

  // Changes need the files and a journal beside them in the folder; where
  // either cannot be written, the data is only shown.
  const bool folderWritable = MayWrite(dir.empty() ? "." : dir);
  result.ReadOnly = !folderWritable;
  for (TScheduleFile file : kScheduleFiles) {
    const std::string path = SchedulePath(dir, file);
    if (!Missing(path) && !MayWrite(path)) result.ReadOnly = true;
  }
  const std::uint16_t mode = result.ReadOnly ? TTableStream::kModeReadShared : TTableStream::kModeReadWrite;

  for (TScheduleFile file : kScheduleFiles) {
    const std::string path = SchedulePath(dir, file);
    if (Missing(path)) continue;
    TScheduleError error;
    if (!OpenScheduleFile(tables->Table(file), file, path, mode, error)) return fail(file, false, error.Table);
  }
  for (TScheduleFile file : kScheduleFiles) {
    TTableStream& table = tables->Table(file);
    if (table.IsOpen()) continue;
    const std::string path = SchedulePath(dir, file);
    TScheduleError error;
    if (!folderWritable) return fail(file, true, TTableError::System(EACCES, TTableFault::CannotOpen, "cannot create"));
    if (!OpenOrCreateScheduleFile(table, file, path, error)) return fail(file, Missing(path), error.Table);
    // A new, empty file beside read-only ones is shown like them. Closing
    // it again writes nothing, as its fields are those it was made with.
    if (result.ReadOnly && (!table.Close() || !OpenScheduleFile(table, file, path, mode, error))) {
      return fail(file, false, error.Table.Failed() ? error.Table : table.Error());
    }
  }
  result.Tables = std::move(tables);
  return result;
}

}  // namespace kadrel
