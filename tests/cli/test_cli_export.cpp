#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/uCliCommands.h"
#include "tests/cli/cli_test_util.h"
#include "platform/uGbk.h"
#include "tests/test_dir.h"
#include "tests/test_env.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

using clitest::TRun;

class CliExport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp_.Path().empty());
    dir_ = temp_.Path();
    ASSERT_EQ(Run({"add-duty", "早班"}).Code, 0);
    ASSERT_EQ(Run({"add-duty", "休息"}).Code, 0);
    ASSERT_EQ(Run({"add-scheme", "两班", "1,2"}).Code, 0);
    ASSERT_EQ(Run({"add-user", "张三", "1", "2005-01-01", "0"}).Code, 0);
  }

  TRun Run(std::vector<std::string> args) { return clitest::RunCli(std::move(args), dir_.string()); }

  std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  TTestDir temp_;
  fs::path dir_;
};

// The terminal gets UTF-8 like from every other command; GBK, the files'
// encoding, only when asked for.
TEST_F(CliExport, StandardOutputIsUtf8UnlessGbkIsAskedFor) {
  TRun r = Run({"export", "张三", "2005", "--format", "dat", "--months", "1", "-o", "-"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_TRUE(r.Out.starts_with("1月1日,农历甲申猴年十一月廿一,今天：早班\r\n"
                                "1月2日,农历甲申猴年十一月廿二,今天：休息\r\n"));
  EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 31);
  TRun gbk = Run({"export", "张三", "2005", "--format", "dat", "--months", "1", "-o", "-", "--encoding", "gbk"});
  EXPECT_EQ(gbk.Out, Utf8ToGbk(r.Out).value());

  TRun html = Run({"export", "张三", "2005", "--months", "1", "-o", "-"});
  EXPECT_NE(html.Out.find("charset=utf-8>"), std::string::npos);
  EXPECT_EQ(html.Out.find("gb2312"), std::string::npos);
  TRun htmlGbk = Run({"export", "张三", "2005", "--months", "1", "-o", "-", "--encoding", "gbk"});
  EXPECT_NE(htmlGbk.Out.find("charset=gb2312>"), std::string::npos);
  const fs::path file = dir_ / "out.html";
  ASSERT_EQ(Run({"export", "张三", "2005", "--months", "1", "-o", file.string()}).Code, 0);
  EXPECT_EQ(Read(file), htmlGbk.Out) << "files stay GBK";
}

TEST_F(CliExport, MonthsInAnyOrderRenderAscending) {
  TRun r = Run({"export", "张三", "2005", "--format", "print", "--months", "12,2,2", "-o", "-"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const std::string& text = r.Out;
  EXPECT_TRUE(text.starts_with("张三的Kadrel 2005年(公历)\r\n2月\r\n"));
  EXPECT_LT(text.find("2月\r\n"), text.find("12月\r\n"));
}

// The current folder, unless that is the data folder: then the documents folder.
TEST_F(CliExport, DefaultNameIsInTheCurrentFolderWithTheFormatsExtension) {
  TTestDir here, docs;
  TScopedEnv documents("XDG_DOCUMENTS_DIR", docs.Path().string());
  fs::path old = fs::current_path();
  fs::current_path(here.Path());
  TRun html = Run({"export", "张三", "2005"});
  TRun ics = Run({"export", "zhang", "2005"});  // no such user
  TRun txt = Run({"export", "张三", "2005", "--format", "txt"});
  fs::current_path(dir_);
  TRun inData = Run({"export", "张三", "2005", "--format", "dat"});
  fs::current_path(old);
  ASSERT_EQ(html.Code, 0) << html.Err;
  EXPECT_EQ(html.Out, (here.Path() / "张三的Kadrel(2005年).html").string() + "\n");
  EXPECT_TRUE(Read(here.Path() / "张三的Kadrel(2005年).html").starts_with("<html>\r\n"));
  EXPECT_TRUE(fs::exists(here.Path() / "张三的Kadrel(2005年).txt"));
  EXPECT_EQ(ics.Code, kExitData);
  EXPECT_EQ(inData.Out, (docs.Path() / "张三的Kadrel(2005年).dat").string() + "\n") << inData.Err;
}

// However -o names a data file, nothing is written and the users stay.
TEST_F(CliExport, NoOutputNameReachesTheDataFiles) {
  const std::string users = Read(dir_ / "userdat.kd2");
  TTestDir other;
  fs::create_symlink(dir_ / "userdat.kd2", other.Path() / "link.html");
  fs::create_hard_link(dir_ / "userdat.kd2", other.Path() / "second.html");
  for (const fs::path& target : {dir_ / "userdat.kd2", other.Path() / "link.html", other.Path() / "second.html",
                                 dir_ / "workdat.kd2-journal"}) {
    TRun r = Run({"export", "张三", "2005", "--format", "print", "-o", target.string()});
    EXPECT_EQ(r.Code, kExitData) << target;
    EXPECT_TRUE(r.Err.starts_with("kadrel-cli: refusing to overwrite Kadrel's data file " + (dir_ / "").string()))
        << r.Err;
  }
  EXPECT_EQ(Read(dir_ / "userdat.kd2"), users);
  EXPECT_FALSE(fs::exists(dir_ / "workdat.kd2-journal"));
  EXPECT_EQ(Run({"users"}).Code, 0);
}

TEST_F(CliExport, IcsOfAUserWithoutCycleSaysSoAndHasNoEvents) {
  ASSERT_EQ(Run({"add-user", "李四", "1", "2005-01-01", "0"}).Code, 0);
  ASSERT_EQ(Run({"delete-duty", "早班"}).Code, 0);
  ASSERT_EQ(Run({"delete-duty", "休息"}).Code, 0);
  TRun r = Run({"export", "李四", "2005", "--format", "ics", "-o", "-"});
  ASSERT_EQ(r.Code, 0);
  EXPECT_NE(r.Err.find("no rotation"), std::string::npos);
  EXPECT_EQ(r.Out.find("BEGIN:VEVENT"), std::string::npos);
  EXPECT_NE(r.Out.find("END:VCALENDAR"), std::string::npos);
}

TEST_F(CliExport, EmptyMonthSelectionWritesNothing) {
  fs::path target = dir_ / "out.html";
  TRun r = Run({"export", "张三", "2005", "--months", "", "-o", target.string()});
  EXPECT_EQ(r.Code, 0);
  EXPECT_FALSE(fs::exists(target));
  TRun print = Run({"export", "张三", "2005", "--format", "print", "--months", "", "-o", "-"});
  EXPECT_EQ(print.Out, "张三的Kadrel 2005年(公历)\r\n");
}

TEST_F(CliExport, WriteErrorsUseTheClassicMessagesAndExitTwo) {
  TRun missing = Run({"export", "张三", "2005", "-o", (dir_ / "nope/out.html").string()});
  EXPECT_EQ(missing.Code, kExitData);
  EXPECT_NE(missing.Err.find("Invalid filename"), std::string::npos);
  fs::create_directory(dir_ / "taken.html");
  TRun folder = Run({"export", "张三", "2005", "-o", (dir_ / "taken.html").string()});
  EXPECT_EQ(folder.Code, kExitData);
  EXPECT_NE(folder.Err.find("File access denied"), std::string::npos);
}

TEST_F(CliExport, BadArgumentsAreUsageErrors) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"export", "张三"},
           {"export", "张三", "year"},
           {"export", "张三", "2005", "--format", "pdf"},
           {"export", "张三", "2005", "--months", "0"},
           {"export", "张三", "2005", "--months", "1,13"},
           {"export", "张三", "2005", "--months", "1,"},
           {"export", "张三", "2005", "-o"},
           {"export", "张三", "2005", "--colour"},
           {"export", "张三", "2005", "-o", "-", "--encoding", "latin1"},
           {"export", "张三", "2005", "--encoding", "utf-8"},
           {"export", "张三", "2005", "--format", "ics", "-o", "-", "--encoding", "gbk"}}) {
    TRun r = Run(args);
    EXPECT_EQ(r.Code, kExitUsage) << args.back();
    EXPECT_EQ(r.Out, "") << args.back();
  }
}

}  // namespace
}  // namespace kadrel
