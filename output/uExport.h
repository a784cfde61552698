// Writing the year schedule to a file.
//
// A file is never left half-written: the bytes go to a temporary file in the
// target's folder, which is flushed to disk and then renamed over the target.
// On any failure the temporary file is removed and an existing target stays
// exactly as it was. A replaced file keeps its owner and permissions.
//
// What the target is decides where the bytes go:
//   - a symbolic link: the file it names (which keeps the link intact);
//   - a FIFO or a character device (/dev/stdout, /dev/null): written
//     through as a stream, the node itself untouched;
//   - a regular file with more than one hard link: rewritten in place, so
//     every name keeps the same file (not atomic);
//   - a folder, a block device or a socket: "File access denied".
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "output/uScheduleDoc.h"
#include "platform/uFileOps.h"

namespace kadrel {

// An input/output error as the user sees it. Code follows the classic DOS
// numbering that the messages come from: 2 "File not found", 3 "Invalid
// filename" (a folder of the path is missing), 4 "Too many open files",
// 5 "File access denied", 101 "Disk full"; any other failure keeps its errno
// and reads "I/O error <errno>".
struct TIoError {
  int Code = 0;
  std::string Message;
};

TIoError IoErrorFromErrno(int err, bool folderExists);

// `fileName` is a path as the operating system spells it (UTF-8).
std::optional<TIoError> WriteFileAtomically(const std::string& fileName, std::string_view bytes,
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
