#include "platform/uDataFiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include <memory>

#include "platform/uAtomicFile.h"
#include "platform/uFileOps.h"
#include "platform/uUserDirs.h"

namespace kadrel {
namespace {

bool Same(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

bool IsDataFileName(std::string_view name) {
  return name.ends_with(".kd2") || name.ends_with("-journal") || name.find(".kd2-") != std::string_view::npos ||
         name.find(".kd2.") != std::string_view::npos;
}

std::vector<std::string> DataFilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return files;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (IsDataFileName(entry->d_name)) files.push_back(folder + "/" + entry->d_name);
  }
  return files;
}

std::vector<std::string> DataFoldersOf(const std::string& inUse) {
  std::vector<std::string> folders{inUse};
  if (inUse.empty()) {
    char here[PATH_MAX];
    folders[0] = ::getcwd(here, sizeof here) ? here : ".";
  }
  if (std::string desktop = DesktopDataFolder(); !desktop.empty()) folders.push_back(std::move(desktop));
  return folders;
}

std::string DataFileAt(const std::string& target, const std::vector<std::string>& folders) {
  // A loop of links cannot be written either; the writer reports it.
  const std::string real = FollowLinks(target);
  if (real.empty()) return {};
  struct stat file {}, parent {};
  const bool exists = ::stat(real.c_str(), &file) == 0;
  const bool hasParent = ::stat(FolderOf(real).c_str(), &parent) == 0;
  for (const std::string& folder : folders) {
    struct stat data {};
    if (::stat(folder.c_str(), &data) != 0) continue;
    if (hasParent && Same(parent, data) && IsDataFileName(BaseNameOf(real))) return folder + "/" + BaseNameOf(real);
    if (!exists) continue;
    for (const std::string& name : DataFilesIn(folder)) {
      struct stat kept {};
      if (::stat(name.c_str(), &kept) == 0 && Same(kept, file)) return name;
    }
  }
  return {};
}

std::string FolderPath(const std::string& folder) {
  std::error_code ec;
  const auto path = std::filesystem::absolute(folder.empty() ? "." : folder, ec);
  if (ec) return folder;
  std::string text = path.lexically_normal().string();
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace kadrel
