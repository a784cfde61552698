#include "app/uKadrelMainData.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "platform/uFileLock.h"

namespace kadrel {

namespace {

// A missing file and an empty one (left by an interrupted creation) are made anew.
bool Missing(const std::string& path) { return ScheduleFileMissing(path); }

// The store ends a reason from the system with the system's text of the
// error ("cannot open: Permission denied"); this gives the error back.
int ErrnoOf(std::string_view reason) {
  for (int e : {EACCES, EPERM, EROFS, ENOSPC, EDQUOT, EIO, ELOOP, ENAMETOOLONG, ENOTDIR, ENOENT}) {
    if (reason.ends_with(std::strerror(e))) return e;
  }
  return 0;
}

bool IsPermissionError(int e) { return e == EACCES || e == EPERM || e == EROFS; }

std::function<bool(const std::string&)>& WriteAccess() {
  static std::function<bool(const std::string&)> access = [](const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  };
  return access;
}

// Why an existing file did not open, told by looking at it; nothing is
// written and nothing waits. What is not a regular file is not even opened:
// opening a device may do something.
void Classify(const std::string& path, TOpenFailure& failure) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    failure.Fault = TOpenFault::NotRegular;
    failure.Mode = st.st_mode & S_IFMT;
  } else if (ScheduleFileInUse(path) || failure.Reason.starts_with("busy")) {
    failure.Fault = TOpenFault::InUse;
  } else if (IsPermissionError(ErrnoOf(failure.Reason))) {
    failure.Fault = TOpenFault::NoPermission;
  } else {
    failure.Fault = TOpenFault::Damaged;
  }
}

}  // namespace

bool MayWrite(const std::string& path) { return WriteAccess()(path); }

TWriteAccessOverride::TWriteAccessOverride(std::function<bool(const std::string&)> mayWrite)
    : TScopedOverride(WriteAccess(), std::move(mayWrite)) {}

bool ScheduleFileInUse(const std::string& path) {
  // Asking for the writer's lock tells whether another writer holds it; the
  // lock goes when the descriptor closes. A file we may only read can still
  // be held: ask for a shared lock on it then.
  TLockKind kind = TLockKind::Exclusive;
  TUniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
  if (!fd.Valid()) {
    fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    kind = TLockKind::Shared;
  }
  if (!fd.Valid()) return false;
  if (TryLockByte(fd.Get(), kWriterLockByte, kind)) return false;
  return errno == EAGAIN || errno == EACCES;
}

TMainTables OpenMainTables(const std::string& dir) {
  TMainTables result;
  auto tables = std::make_unique<TScheduleTables>();
  auto fail = [&](TScheduleFile file, bool creating, const std::string& reason) {
    // Destroying the tables releases them without a write. It comes first:
    // a table refused for its fields is still open and would hold the very
    // lock the probe asks about.
    tables.reset();
    const std::string path = SchedulePath(dir, file);
    TOpenFailure& failure = result.Failure;
    failure.File = ScheduleFileName(file);
    failure.Reason = reason;
    failure.Creating = creating;
    if (!creating) {
      Classify(path, failure);
    } else {
      const bool denied = IsPermissionError(ErrnoOf(failure.Reason)) || !MayWrite(dir.empty() ? "." : dir);
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
    if (!OpenScheduleFile(tables->Table(file), file, path, mode, error)) return fail(file, false, error.Reason);
  }
  for (TScheduleFile file : kScheduleFiles) {
    TTableStream& table = tables->Table(file);
    if (table.IsOpen()) continue;
    const std::string path = SchedulePath(dir, file);
    TScheduleError error;
    if (!folderWritable) return fail(file, true, "cannot create: " + std::string(std::strerror(EACCES)));
    if (!OpenOrCreateScheduleFile(table, file, path, error)) return fail(file, Missing(path), error.Reason);
    // A new, empty file beside read-only ones is shown like them. Closing
    // it again writes nothing, as its fields are those it was made with.
    if (result.ReadOnly && (!table.Close() || !OpenScheduleFile(table, file, path, mode, error))) {
      return fail(file, false, error.Reason.empty() ? TableReason(table, "cannot open") : error.Reason);
    }
  }
  result.Tables = std::move(tables);
  return result;
}

}  // namespace kadrel
