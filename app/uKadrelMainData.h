// Opening the three data files for the main window.
//
// The main window keeps the files open, each with its exclusive lock, from
// start to end. Start-up must not make a bad situation worse: a file that is
// damaged, is not a table of this program, or is held by another Kadrel
// stops the start before any file is created or written.
#pragma once

#include <memory>
#include <string>

#include "store/uScheduleFiles.h"

namespace kadrel {

enum class TOpenFault {
  None,
  InUse,     // another program holds the file's lock (a second Kadrel)
  Unusable,  // damaged, not a table of this program, or unreadable
  CannotCreate,
};

struct TOpenFailure {
  TOpenFault Fault = TOpenFault::None;
  std::string File;    // the bare file name, "workdat.kd2"
  std::string Reason;  // why, in plain English, from the table
};

// Opens the schedule files of `dir` (the working directory when empty) in
// mode 2: first every file that exists, in the order shiftdat, workdat,
// userdat; then, only when all of those opened, each missing file is created
// empty with its schema. On failure returns null: the tables opened so far
// are released without writing, so every file stays byte for byte as it was.
std::unique_ptr<TScheduleTables> OpenMainTables(const std::string& dir, TOpenFailure& failure);

// True when another open file holds a lock on `path` that keeps this
// program from writing it. Probing writes nothing.
bool ScheduleFileInUse(const std::string& path);

}  // namespace kadrel
