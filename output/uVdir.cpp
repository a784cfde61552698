#include "output/uVdir.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "output/uCalDav.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSuffix = ".ics";

// Whether `path` is a regular file that says what `text` says.
bool Holds(const fs::path& path, std::string_view text) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(path, ec))) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  return EventHash(bytes) == EventHash(text);
}

TIoError Failure(int err, const std::string& path, const char* what, const char* chinese) {
  TIoError error = IoErrorFromErrno(err, true);
  error.Message = std::string(what) + " " + path + ": " + std::strerror(err);
  error.Chinese = std::string(chinese) + "“" + path + "”（错误码 " + std::to_string(err) + "）。";
  return error;
}

}  // namespace

std::optional<TIoError> WriteVdir(const std::string& folder, const TEventTexts& events, std::string_view ownPrefix,
                                  TVdirResult& result, const std::string& dataFolder, TFileOps& ops) {
  result = {};
  if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    return Failure(errno, folder, "cannot make the folder", "无法创建文件夹");
  }
  std::set<std::string> names;
  for (const auto& [uid, text] : events) {
    const std::string name = PathSegment(uid) + std::string(kSuffix);
    names.insert(name);
    const fs::path path = fs::path(folder) / name;
    if (Holds(path, text)) {
      ++result.Unchanged;
      continue;
    }
    if (auto error = WriteExportFile(path.string(), text, dataFolder, ops)) return error;
    ++result.Written;
  }
  const std::string prefix = PathSegment(ownPrefix);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(prefix) || !name.ends_with(kSuffix) || names.contains(name)) continue;
    if (!entry.is_regular_file(ec) || entry.is_symlink(ec)) continue;
    if (ops.Unlink(entry.path().c_str()) != 0) {
      return Failure(errno, entry.path().string(), "cannot remove", "无法删除不再需要的文件");
    }
    ++result.Removed;
  }
  if (ec) return Failure(ec.value(), folder, "cannot read the folder", "无法读取文件夹");
  return std::nullopt;
}

}  // namespace kadrel
