#include "app/uKadrelMainData.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/uFileLock.h"

namespace kadrel {

namespace {

// A missing file and an empty one (left by an interrupted creation) are made anew.
bool Missing(const std::string& path) { return ScheduleFileMissing(path); }

// The store names the file in front of its reason; the message names it apart.
std::string ReasonOnly(const std::string& error, TScheduleFile file) {
  const std::string prefix = std::string(ScheduleFileName(file)) + ": ";
  return error.starts_with(prefix) ? error.substr(prefix.size()) : error;
}

}  // namespace

bool ScheduleFileInUse(const std::string& path) {
  // Asking for the writer's lock tells whether another writer holds it; the
  // lock goes when the descriptor closes. A file we may only read can still
  // be held: ask for a shared lock on it then.
  TLockKind kind = TLockKind::Exclusive;
  TUniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!fd.Valid()) {
    fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    kind = TLockKind::Shared;
  }
  if (!fd.Valid()) return false;
  if (TryLockByte(fd.Get(), kWriterLockByte, kind)) return false;
  return errno == EAGAIN || errno == EACCES;
}

std::unique_ptr<TScheduleTables> OpenMainTables(const std::string& dir, TOpenFailure& failure) {
  failure = {};
  auto tables = std::make_unique<TScheduleTables>();
  auto fail = [&](TScheduleFile file, TOpenFault otherwise, const std::string& error) {
    // Destroying the tables releases them without a write. It comes first:
    // a table refused for its fields is still open and would hold the very
    // lock the probe asks about.
    tables.reset();
    const std::string path = SchedulePath(dir, file);
    const TOpenFault fault = ScheduleFileInUse(path) ? TOpenFault::InUse : otherwise;
    failure = {fault, ScheduleFileName(file), ReasonOnly(error, file)};
    return nullptr;
  };
  for (TScheduleFile file : kScheduleFiles) {
    const std::string path = SchedulePath(dir, file);
    if (Missing(path)) continue;
    std::string error;
    if (!OpenScheduleFile(tables->Table(file), file, path, TTableStream::kModeReadWrite, error)) {
      return fail(file, TOpenFault::Unusable, error);
    }
  }
  for (TScheduleFile file : kScheduleFiles) {
    if (tables->Table(file).IsOpen()) continue;
    const std::string path = SchedulePath(dir, file);
    std::string error;
    if (!OpenOrCreateScheduleFile(tables->Table(file), file, path, error)) {
      return fail(file, Missing(path) ? TOpenFault::CannotCreate : TOpenFault::Unusable, error);
    }
  }
  return tables;
}

}  // namespace kadrel
