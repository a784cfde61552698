#include "platform/uUserDirs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/test_dir.h"
#include "tests/test_env.h"

namespace kadrel {
namespace {

TEST(UserDirs, DocumentsFolderFollowsTheXdgUserDirsRule) {
  TTestDir dir;
  TScopedEnv home("HOME", dir / "home");
  TScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  TScopedEnv unset("XDG_DOCUMENTS_DIR", nullptr);
  EXPECT_EQ(UserDocumentsFolder(), dir / "home") << "no user-dirs.dirs: the home folder";

  std::filesystem::create_directory(dir / "config");
  std::ofstream(dir / "config/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                 "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                 "XDG_DOCUMENTS_DIR=\"$HOME/\\\"文档\\\"\"  \n";
  EXPECT_EQ(UserDocumentsFolder(), dir / "home/\"文档\"");
  {
    TScopedEnv set("XDG_DOCUMENTS_DIR", "/srv/docs");
    EXPECT_EQ(UserDocumentsFolder(), "/srv/docs");
  }
  TScopedEnv relative("XDG_DOCUMENTS_DIR", "docs");
  std::ofstream(dir / "config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"relative\"\n";
  EXPECT_EQ(UserDocumentsFolder(), dir / "home") << "relative values do not count";
}

}  // namespace
}  // namespace kadrel
