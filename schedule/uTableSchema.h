// Opening and creating a file of the data folder whose fields a schema fixes.
// The rules are those the three schedule files have always followed
// (schedule/uScheduleFiles.h), stated once for any file, so that a file added
// to the folder later is opened, refused and created exactly like them:
//   - a file whose fields differ from the schema (names compared without the
//     case of A..Z, types and widths exactly) is refused before any use, so
//     that no data lands in the wrong bytes;
//   - a missing or empty file (an interrupted creation leaves an empty one)
//     is created under a temporary name and linked in place once whole; a
//     file that appeared meanwhile is opened instead, never replaced;
//   - an existing file is never truncated, even when it cannot be opened.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "schedule/uScheduleFiles.h"
#include "store/uTableStream.h"

namespace kadrel {

struct TTableSchema {
  const char* FileName = "";  // the bare name, as errors name the file
  std::span<const TFieldSpec> Fields;
};

// The schema of a file of the data folder.
TTableSchema SchemaOf(TScheduleFile file);

// True when the open table's fields are exactly the schema's.
bool HasSchema(TTableStream& table, const TTableSchema& schema, TScheduleError& error);

// Opens an existing file with `mode`; never creates one.
bool OpenSchemaFile(TTableStream& table, const TTableSchema& schema, const std::string& path, std::uint16_t mode,
                    TScheduleError& error);

// Builds the file under a temporary name and links it in place at the
// table's Close, never over a file that appeared meanwhile; inside a
// transaction, at its commit. The table is closed after.
bool CreateSchemaFile(TTableStream& table, const TTableSchema& schema, const std::string& path,
                      TScheduleError& error);

// Opens `path` in mode 2, creating it first when ScheduleFileMissing.
bool OpenOrCreateSchemaFile(TTableStream& table, const TTableSchema& schema, const std::string& path,
                            TScheduleError& error);

}  // namespace kadrel
