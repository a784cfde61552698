// A folder of a test's own under the system's temporary folder, removed with
// all it holds when the object goes, so that no test writes fixed names into
// the working folder or leaves anything behind.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace kadrel {

class TTestDir {
 public:
  TTestDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kadrel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TTestDir() {
    if (path_.empty()) return;
    std::error_code ec;
    // A test may have taken the folder's own rights away to make writes fail.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TTestDir(const TTestDir&) = delete;
  TTestDir& operator=(const TTestDir&) = delete;

  // Empty when no folder could be made.
  const std::filesystem::path& Path() const { return path_; }
  std::string File(std::string_view name) const { return (path_ / name).string(); }
  std::string operator/(std::string_view name) const { return File(name); }

 private:
  std::filesystem::path path_;
};

}  // namespace kadrel
