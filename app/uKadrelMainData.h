// Opening the three data files for the main window.
//
// The main window keeps the files open from start to end, as their one
// writer. Start-up must not make a bad situation worse: a file that is
// damaged, is not a table of this program, is no regular file, may not be
// read or is held by another writer stops the start before any file is
// created or written.
//
// Data the user may read but not write - read-only files, or a folder in
// which no journal can be made - is opened for viewing only: every file as
// a reader, nothing created, nothing written until the end.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/uScopedOverride.h"
#include "schedule/uScheduleFiles.h"

namespace kadrel {

enum class TOpenFault {
  None,
  InUse,         // another writer holds the file (a running Kadrel, a kadrel-cli write)
  NoPermission,  // the file may not be read, or a missing one not be created
  NotRegular,    // a folder, a FIFO, a device or a socket stands at the name
  Damaged,       // not a table of this program, or its bytes break the format
  CannotCreate,  // a missing file could not be made for another reason
};

struct TOpenFailure {
  TOpenFault Fault = TOpenFault::None;
  std::string File;       // the bare file name, "workdat.kd2"
  TTableError Why;        // the store's account: the damage, the system's error, the file type
  bool Creating = false;  // the file was missing and was to be created
};

struct TMainTables {
  std::unique_ptr<TScheduleTables> Tables;  // null when the start must stop
  bool ReadOnly = false;                    // open for viewing only
  TOpenFailure Failure;
};

// Opens the schedule files of `dir` (the working directory when empty):
// first every file that exists, in the order shiftdat, workdat, userdat;
// then, only when all of those opened, each missing file is created empty
// with its schema. On failure the tables opened so far are released without
// writing, so every file stays byte for byte as it was.
TMainTables OpenMainTables(const std::string& dir);

// Whether this program may write `path`, a data file or the data folder.
// A seam: root may write anything, so tests that run as root need it to see
// what a user sees.
bool MayWrite(const std::string& path);

class TWriteAccessOverride : TScopedOverride<std::function<bool(const std::string&)>> {
 public:
  explicit TWriteAccessOverride(std::function<bool(const std::string&)> mayWrite);
};

}  // namespace kadrel
