#include "platform/uUserDirs.h"
#include "platform/uAutostart.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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

std::string FileText(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// The entry is the setting: written whole, read back as the desktop reads
// it, and a path with the format's reserved characters survives its quoting.
TEST(Autostart, TheEntryIsTheSettingAndCarriesAnyPathTheFormatCan) {
  TTestDir dir;
  TScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  const std::string path = dir / "config/autostart/kadrel.desktop";
  ASSERT_EQ(AutostartPath(), path);
  EXPECT_FALSE(AutostartOn());
  std::string error;
  ASSERT_TRUE(SetAutostart(true, "/opt/班表 $x/a\\b%1/kadrel", error)) << error;
  EXPECT_TRUE(AutostartOn());
  EXPECT_NE(FileText(path).find("\nExec=\"/opt/班表 \\\\$x/a\\\\\\\\b%%1/kadrel\"\n"), std::string::npos) << FileText(path);
  EXPECT_EQ(std::system(("desktop-file-validate '" + path + "'").c_str()), 0) << FileText(path);

  std::ofstream(path, std::ios::app) << "Hidden=true\n";  // the desktop's own switch
  EXPECT_FALSE(AutostartOn());
  ASSERT_TRUE(SetAutostart(false, {}, error)) << error;
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(SetAutostart(false, {}, error)) << "off stays off";

  EXPECT_FALSE(SetAutostart(true, "/opt/\xB0\xE0/kadrel", error));
  EXPECT_EQ(error, "the program's path is not UTF-8 text without control characters, which an autostart entry needs");
  std::filesystem::create_directories(path);
  EXPECT_FALSE(SetAutostart(true, "/usr/bin/kadrel", error));
  EXPECT_EQ(error, path + " is not a regular file");
}

}  // namespace
}  // namespace kadrel
