// The files of a data folder that only the table store may write, and the
// rule by which every other writer of ours (an export, a print into a file)
// keeps its hands off them.
//
// A data folder keeps each table as "<name>.kd2". Beside a table the store
// keeps its journals ("<table>-journal"; any name ending in "-journal", or
// holding ".kd2-", counts) and, while it builds a table, temporaries
// ("<table>.new-XXXXXX", "<table>.pack-XXXXXX"; any name holding ".kd2.").
//
// A target is a data file when, every symbolic link followed,
//   - it exists and is the same file (device and inode) as one of those
//     files of a data folder: a hard link elsewhere still is the data file;
//   - or it lies in a data folder (the folder compared by identity) and has
//     one of those names, whether it exists yet or not.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kadrel {

// `folder` (the working folder when empty) as an absolute path without a
// trailing slash, as messages name it.
std::string FolderPath(const std::string& folder);

// Whether `name` (without a folder) is a name the store keeps in its folder.
bool IsDataFileName(std::string_view name);

// The files of `folder` with such names, as paths in it; empty when the
// folder cannot be read.
std::vector<std::string> DataFilesIn(const std::string& folder);

// The data folders to keep out of: `inUse` (the working folder when empty)
// and the launcher's folder (uUserDirs.h).
std::vector<std::string> DataFoldersOf(const std::string& inUse);

// The data file that writing `target` would overwrite or create, as a path
// in its data folder; empty when it is none.
std::string DataFileAt(const std::string& target, const std::vector<std::string>& folders);

}  // namespace kadrel
