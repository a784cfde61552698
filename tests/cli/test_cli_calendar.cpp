#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "calendar/uHoliday.h"
#include "cli/uCliCommands.h"
#include "platform/uClock.h"
#include "tests/test_dir.h"

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
  EXPECT_EQ(Cli({"day", "2024-02-04"}).Out, "2024-02-04\t星期日\n农历\t癸卯兔年 十二月廿五\n节气\t立春\n节假日\t班\t春节\t\n");
  EXPECT_EQ(Cli({"day", "2023-03-22"}).Out, "2023-03-22\t星期三\n农历\t癸卯兔年 闰二月初一\n");
  EXPECT_EQ(Cli({"day", "2097-08-08"}).Out, "2097-08-08\t星期四\n农历\t丁巳蛇年 七月初一\n");
}

TEST(CliDay, TodayComesFromTheClock) {
  TClockOverride clock([] { return static_cast<TDateTime>(EncodeDate(2025, 4, 28)) + 0.75; });
  EXPECT_EQ(Cli({"day", "today"}).Out, "2025-04-28\t星期一\n农历\t乙巳蛇年 四月初一\n");
  EXPECT_EQ(Cli({"days", "today", "today"}).Out, "2025-04-28\t2025\t4\t0\t1\t乙巳蛇年\t四月\t初一\t\t\t\t\n");
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
            "2024-02-03\t2023\t12\t0\t24\t癸卯兔年\t十二月\t廿四\t\t\t\t\n"
            "2024-02-04\t2023\t12\t0\t25\t癸卯兔年\t十二月\t廿五\t立春\t班\t春节\t\n");
  EXPECT_EQ(Cli({"days", "2033-12-22", "2033-12-22"}).Out, "2033-12-22\t2033\t11\t1\t1\t癸丑牛年\t闰十一月\t初一\t\t\t\t\n");
}

TEST(CliDays, DatesOutsideTheCalendarAreRefusedWhole) {
  EXPECT_EQ(Cli({"days", "2050-12-31", "2051-01-01"}).Out,
            "2050-12-31\t2050\t11\t0\t18\t庚午马年\t十一月\t十八\t\t\t\t\n"
            "2051-01-01\t2050\t11\t0\t19\t庚午马年\t十一月\t十九\t\t休\t元旦\t法定\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"days", "1900-12-31", "1901-01-01"}, {"days", "2100-12-31", "2101-01-01"}, {"day", "1900-12-31"},
           {"--json", "day", "2101-01-01"}}) {
    const TRun r = Cli(args);
    EXPECT_EQ(r.Code, kExitData) << args.back();
    EXPECT_EQ(r.Out, "") << args.back();
    EXPECT_TRUE(r.Err.ends_with("lies outside the calendar, which covers 1901-01-01 to 2100-12-31\n")) << r.Err;
  }
}

TEST(CliDays, DayAndDaysGiveOneJsonShape) {
  const std::string day = Cli({"--json", "day", "2051-01-03"}).Out;
  EXPECT_EQ(day,
            "{\"date\":\"2051-01-03\",\"weekday\":\"星期二\",\"lunarYear\":2050,\"lunarMonth\":11,\"leap\":false,"
            "\"lunarDay\":21,\"yearName\":\"庚午马年\",\"monthName\":\"十一月\",\"dayName\":\"廿一\",\"term\":null,"
            "\"mark\":null,\"festival\":null,\"statutory\":false,\"user\":null,\"duty\":null,\"change\":null}\n");
  EXPECT_EQ(Cli({"--json", "days", "2051-01-03", "2051-01-03"}).Out, std::string("[").append(day, 0, day.size() - 1) + "]\n");
}

TEST(CliDays, DatesAfterTheLastArrangementAreWarnedAboutOnce) {
  const TRun r = Cli({"days", "2026-12-31", "2028-01-01"});
  EXPECT_EQ(r.Code, kExitOk);
  EXPECT_TRUE(r.Err.starts_with("kadrel-cli: warning: the holiday arrangement of 2027 is not known (the last one "
                                "known is 2026's)"))
      << r.Err;
  EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
  EXPECT_EQ(Cli({"day", "2026-12-31"}).Err, "");
}

TEST(CliDays, HolidayColumnsAcrossTheRegimes) {
  // 2025 adds 除夕 to 春节; 1999 carries no marks at all.
  const auto holiday = [](const char* date) {
    const std::string line = Cli({"days", date, date}).Out;
    std::size_t at = line.size() - 1;
    for (int tabs = 0; tabs < 3; ++tabs) at = line.rfind('\t', at - 1);
    return line.substr(at + 1, line.size() - at - 2);
  };
  EXPECT_EQ(holiday("2025-01-28"), "休\t春节\t法定");
  EXPECT_EQ(holiday("2018-12-29"), "班\t元旦\t");
  EXPECT_EQ(holiday("1999-10-01"), "\t\t");
  EXPECT_EQ(Cli({"day", "2023-09-29"}).Out, "2023-09-29\t星期五\n农历\t癸卯兔年 八月十五\n节假日\t休\t中秋节\t法定\n");
}

TEST(CliDays, BadHolidayLinesAreWarnedAbout) {
  std::vector<THolidayMessage> messages;
  THolidayTable table = LoadHolidayTable({}, messages);
  UseHolidayTable(table, {{.Source = "/h/2027.txt", .Line = 3, .Fault = THolidayFault::SpanTooLong}});
  const TRun r = Cli({"days", "2024-02-04", "2024-02-04"});
  UseHolidayTable(table, {});
  EXPECT_EQ(r.Code, kExitOk);
  EXPECT_EQ(r.Err, "kadrel-cli: warning: /h/2027.txt:3: a span is at most 31 days (line ignored)\n");
  EXPECT_NE(r.Out, "");
}

class CliDayUser : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp_.Path().empty());
    dir_ = temp_.Path().string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"add-duty", "早班"}, {"add-duty", "休息"}, {"add-scheme", "两班", "1,2"},
             {"add-user", "Zhang", "1", "2024-02-01", "0"}}) {
      std::vector<std::string> full = {"--data", dir_};
      full.insert(full.end(), args.begin(), args.end());
      ASSERT_EQ(Cli(full).Code, kExitOk) << args[0];
    }
  }
  TTestDir temp_;
  std::string dir_;
};

TEST_F(CliDayUser, AddsTheDutyOfTheUser) {
  const TRun r = Cli({"--data", dir_, "day", "2024-02-04", "--user", "zhang"});
  EXPECT_EQ(r.Code, kExitOk) << r.Err;
  EXPECT_EQ(r.Out, "2024-02-04\t星期日\n农历\t癸卯兔年 十二月廿五\n节气\t立春\n节假日\t班\t春节\t\n值班\t休息\n");
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

TEST_F(CliDayUser, StatsCountTheHolidaysOfEachDuty) {
  // 早班 on odd days of February 2024, 休息 on even ones; 春节 is 02-10..17,
  // statutory 02-10..12, with make-up workdays on 02-04 and 02-18.
  TRun r = Cli({"--data", dir_, "stats", "zhang", "2024-02-01", "2024-02-29"});
  EXPECT_EQ(r.Code, kExitOk) << r.Err;
  EXPECT_EQ(r.Out, "早班\t15\t1\t3\t0\n休息\t14\t2\t2\t2\n");
  // The order is that of first occurrence.
  EXPECT_EQ(Cli({"--data", dir_, "stats", "Zhang", "2024-02-02", "2024-02-03"}).Out, "休息\t1\t0\t0\t0\n早班\t1\t0\t0\t0\n");
  EXPECT_EQ(Cli({"--data", dir_, "stats", "Zhang", "2024-02-02", "2024-02-01"}).Code, kExitUsage);
  EXPECT_EQ(Cli({"--data", dir_, "stats", "Li", "2024-02-01", "2024-02-02"}).Code, kExitData);
  // A user without a cycle: every day under the empty name.
  const std::string bare = dir_ + "/bare";
  std::filesystem::create_directory(bare);
  ASSERT_EQ(Cli({"--data", bare, "add-user", "Wang", "0", "2024-02-01", "0"}).Code, kExitOk);
  // 2024: 11 statutory days, 19 other days off (the weekends before 元旦 and
  // 端午 joined to them, as in 2019), 8 make-up workdays.
  EXPECT_EQ(Cli({"--data", bare, "stats", "Wang", "2024-01-01", "2024-12-31"}).Out, "\t366\t11\t19\t8\n");
  // Past the old tables the holidays still count; outside the years of the
  // rules a warning says they do not.
  EXPECT_EQ(Cli({"--data", bare, "stats", "Wang", "2051-01-01", "2051-01-01"}).Out, "\t1\t1\t0\t0\n");
  EXPECT_NE(Cli({"--data", bare, "stats", "Wang", "1999-12-31", "2000-01-01"}).Err.find("holidays are known from 2000"),
            std::string::npos);
}

}  // namespace
}  // namespace kadrel
