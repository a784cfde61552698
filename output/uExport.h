// Writing the year schedule to a file.
//
// Every export goes through WriteExportFile, which puts the whole file in
// place atomically with platform/uAtomicFile.h: on any failure an existing
// file stays exactly as it was and no temporary is left. From that writer's
// rules: a symbolic link is written through to the file it names and stays a
// link; a replaced file keeps its owner and mode, a new one gets 0644 less
// the umask; a file with other hard links gets the new bytes under this name
// only; a folder, a FIFO or a device is refused, never opened.
//
// The data is never an export's target: a name that is, or would become, a
// file of the data folder (platform/uDataFiles.h) is refused before anything
// is written, however it is reached (a link, a second hard link, a relative
// name).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "output/uScheduleDoc.h"
#include "platform/uFileOps.h"

namespace kadrel {

// An input/output error as the user sees it. Code follows the classic DOS
// numbering that the English messages come from: 2 "File not found", 3
// "Invalid filename" (a folder of the path is missing), 4 "Too many open
// files", 5 "File access denied", 101 "Disk full"; any other failure keeps
// its errno and reads "I/O error <errno>". kadrel-cli prints Message; the
// windows show Chinese, a whole sentence that names the file and, where it
// can, what to do.
struct TIoError {
  int Code = 0;
  std::string Message;
  std::string Chinese;  // UTF-8
};

TIoError IoErrorFromErrno(int err, bool folderExists);

// Where an export goes unless the user says otherwise: the documents folder
// (uUserDirs.h), else the home folder, else the system's temporary folder;
// the first that exists and is not a data folder of `dataFolder` (see
// DataFoldersOf).
std::string DefaultExportFolder(const std::string& dataFolder);

// A name the user typed, as a path: "~" or "~/..." in the home folder, a
// relative name in `folder`, an absolute one as it is.
std::string ExportPathOf(std::string_view typed, const std::string& folder);

// Writes `bytes` as the whole file `fileName` (a path as the operating system
// spells it, UTF-8), unless it is a data file of `dataFolder` (the working
// folder when empty) or of the launcher's folder.
std::optional<TIoError> WriteExportFile(const std::string& fileName, std::string_view bytes,
                                        const std::string& dataFolder = {},
                                        TFileOps& ops = TFileOps::System());

std::optional<TIoError> SaveAsText(std::string_view title, const std::string& fileName,
                                   std::span<const std::string> lines,
                                   TFileOps& ops = TFileOps::System());
std::optional<TIoError> SaveAsHtml(std::string_view title, const std::string& fileName,
                                   std::span<const std::string> lines,
                                   TFileOps& ops = TFileOps::System());
// The data file has no title; the parameter keeps the three writers alike.
std::optional<TIoError> SaveAsDat(std::string_view title, const std::string& fileName,
                                  std::span<const std::string> lines,
                                  TFileOps& ops = TFileOps::System());

}  // namespace kadrel
