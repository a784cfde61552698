#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/uCliCommands.h"
#include "platform/uClock.h"

namespace kadrel {
namespace {

struct TRun {
  int Code = -1;
  std::string Out, Err;
};

TRun Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  TRun r;
  r.Code = CliMain(args, out, err);
  r.Out = out.str();
  r.Err = err.str();
  return r;
}

TEST(CliDay, PrintsTheDayRecord) {
  EXPECT_EQ(Cli({"day", "2024-02-04"}).Out, "2024-02-04\t星期日\n农历\t癸卯兔年 十二月廿五\n节气\t立春\n");
  EXPECT_EQ(Cli({"day", "2023-03-22"}).Out, "2023-03-22\t星期三\n农历\t癸卯兔年 闰二月初一\n");
  EXPECT_EQ(Cli({"day", "1900-12-31"}).Out, "1900-12-31\t星期一\n农历\t无（农历只有1901年至2050年）\n");
}

TEST(CliDay, TodayComesFromTheClock) {
  TClockOverride clock([] { return static_cast<TDateTime>(EncodeDate(2025, 4, 28)) + 0.75; });
  EXPECT_EQ(Cli({"day", "today"}).Out, "2025-04-28\t星期一\n农历\t乙巳蛇年 四月初一\n");
  EXPECT_EQ(Cli({"days", "today", "today"}).Out, "2025-04-28\t2025\t4\t0\t1\t乙巳蛇年\t四月\t初一\t\n");
}

TEST(CliDay, BadArgumentsAreUsageErrorsAndPrintNothing) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"day", "2024-02-30"},
                                             {"day", "someday"},
                                             {"day", "2024-02-04", "--user"},
                                             {"day", "--user", "a", "--user"},
                                             {"day", "2024-02-04", "2024-02-05"},
                                             {"day", "--user", "a"},
                                             {"days", "2024-02-05", "2024-02-04"},
                                             {"days", "2024-02-04", "soon"}}) {
    const TRun r = Cli(args);
    EXPECT_EQ(r.Code, kExitUsage) << args.back();
    EXPECT_EQ(r.Out, "") << args.back();
    EXPECT_NE(r.Err, "") << args.back();
  }
}

TEST(CliDays, OneTabSeparatedLinePerDate) {
  const TRun r = Cli({"days", "2024-02-03", "2024-02-04"});
  EXPECT_EQ(r.Code, kExitOk);
  EXPECT_EQ(r.Out,
            "2024-02-03\t2023\t12\t0\t24\t癸卯兔年\t十二月\t廿四\t\n"
            "2024-02-04\t2023\t12\t0\t25\t癸卯兔年\t十二月\t廿五\t立春\n");
  EXPECT_EQ(Cli({"days", "2033-12-22", "2033-12-22"}).Out, "2033-12-22\t2033\t11\t1\t1\t癸丑牛年\t闰十一月\t初一\t\n");
}

TEST(CliDays, OutsideTheRangeTheNamesAreEmpty) {
  EXPECT_EQ(Cli({"days", "1900-12-31", "1901-01-01"}).Out,
            "1900-12-31\t0\t0\t0\t0\t\t\t\t\n"
            "1901-01-01\t1900\t11\t0\t11\t庚子鼠年\t十一月\t十一\t\n");
  EXPECT_EQ(Cli({"days", "2050-12-31", "2051-01-01"}).Out,
            "2050-12-31\t2050\t11\t0\t18\t庚午马年\t十一月\t十八\t\n"
            "2051-01-01\t0\t0\t0\t0\t\t\t\t\n");
}

class CliDayUser : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kadrel-cli-day-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"add-duty", "早班"}, {"add-duty", "休息"}, {"add-scheme", "两班", "1,2"},
             {"add-user", "Zhang", "1", "2024-02-01", "0"}}) {
      std::vector<std::string> full = {"--data", dir_};
      full.insert(full.end(), args.begin(), args.end());
      ASSERT_EQ(Cli(full).Code, kExitOk) << args[0];
    }
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(CliDayUser, AddsTheDutyOfTheUser) {
  const TRun r = Cli({"--data", dir_, "day", "2024-02-04", "--user", "zhang"});
  EXPECT_EQ(r.Code, kExitOk) << r.Err;
  EXPECT_EQ(r.Out, "2024-02-04\t星期日\n农历\t癸卯兔年 十二月廿五\n节气\t立春\n值班\t休息\n");
  EXPECT_EQ(Cli({"--data", dir_, "day", "--user=Zhang", "2024-02-05"}).Out,
            "2024-02-05\t星期一\n农历\t癸卯兔年 十二月廿六\n值班\t早班\n");
}

TEST_F(CliDayUser, UnknownUserOrNoDataIsADataErrorAndPrintsNothing) {
  TRun r = Cli({"--data", dir_, "day", "2024-02-04", "--user", "Li"});
  EXPECT_EQ(r.Code, kExitData);
  EXPECT_EQ(r.Out, "");
  r = Cli({"--data", dir_ + "/empty", "day", "2024-02-04", "--user", "Zhang"});
  EXPECT_EQ(r.Code, kExitData);
  EXPECT_EQ(r.Out, "");
}

}  // namespace
}  // namespace kadrel
