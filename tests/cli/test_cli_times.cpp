// set-times, clear-times, next, reminders and export --no-rest, in-process
// with the instant fixed.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/uCliCommands.h"
#include "tests/cli/cli_test_util.h"
#include "platform/uClock.h"
#include "tests/test_dir.h"

namespace kadrel {
namespace {

using clitest::TRun;

// 2025-12-01 00:00 in Shanghai.
constexpr std::int64_t kDec1Cst = 1764518400;

class CliTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_.Path().string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"add-duty", "白班"}, {"add-duty", "夜班"}, {"add-duty", "休息"}, {"add-scheme", "三班", "1,2,3"},
             {"add-user", "张三", "1", "2025-12-01", "1"}}) {  // 夜班 on 1 December
      ASSERT_EQ(Run(args).Code, kExitOk) << args[0];
    }
  }

  TRun Run(std::vector<std::string> args) { return clitest::RunCli(std::move(args), dir_); }
  std::string Bytes(const char* file) {
    std::ifstream in(temp_.Path() / file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  TTestDir temp_;
  std::string dir_;
  TUtcClockOverride now_{[] { return TUtcTime{kDec1Cst + 9 * 3600}; }};  // 09:00
};

TEST_F(CliTimes, RefusalsExitTwoAndWriteNothing) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"set-times", "夜班", "24:00", "720"},
           {"set-times", "夜班", "20:00", "2881"},
           {"set-times", "夜班", "20:00", "720", "--remind", "10081"},
           {"set-times", "夜班", "20:00", "720", "--color", "#12345"},
           {"set-times", "夜班", "-", "-", "--remind", "5"},
           {"set-times", "早班", "20:00", "720"}}) {
    const TRun r = Run(args);
    EXPECT_EQ(r.Code, kExitData) << args[2] << " " << r.Err;
    EXPECT_FALSE(std::filesystem::exists(temp_.Path() / "timedat.kd2")) << args[2];
  }
  EXPECT_EQ(Run({"set-times", "夜班", "20:00", "720", "--loud"}).Code, kExitUsage);
  TTestDir empty;
  std::ostringstream out, err;
  EXPECT_EQ(CliMain({"--data", empty.Path().string(), "set-times", "夜班", "20:00", "720"}, out, err), kExitData);
  EXPECT_TRUE(std::filesystem::is_empty(empty.Path())) << "no data is made for hours of nothing";
}

TEST_F(CliTimes, NextAndRemindersFollowTheHoursAndDeletingADutyKindDropsThem) {
  EXPECT_EQ(Run({"duties"}).Out, "1\t白班\t\n2\t夜班\t\n3\t休息\t\n") << "no hours, no new columns";
  ASSERT_EQ(Run({"set-times", "夜班", "20:00", "720", "--remind", "60"}).Code, kExitOk);
  ASSERT_EQ(Run({"set-times", "2", "20:00", "720", "--remind", "60"}).Code, kExitOk) << "by ID, replacing";
  ASSERT_EQ(Run({"set-times", "休息", "-", "-", "--rest"}).Code, kExitOk);
  EXPECT_EQ(Run({"next", "张三"}).Out, "张三\t夜班\t2025-12-01 20:00\t08:00 次日\n");
  EXPECT_EQ(Run({"duties"}).Out,
            "1\t白班\t\t\t\twork\t\t\n2\t夜班\t\t20:00\t08:00 次日\twork\t\t60\n3\t休息\t\t\t\trest\t\t\n");
  EXPECT_THAT(Run({"duties", "--json"}).Out,
              testing::StartsWith(R"([{"id":1,"name":"白班","hint":"","times":{"start":null,"minutes":null,"end":null,"rest":false,"color":null,"remind":null}},)"))
      << "every key present, null where there is no hour";
  EXPECT_EQ(Run({"reminders"}).Out, "2025-12-01 19:00\t张三\t夜班 20:00 开始（还有60分钟）\n");
  EXPECT_EQ(Run({"reminders", "--from", "2025-12-02", "--to", "2025-12-04 19:00"}).Out, "")
      << "the window is half open";
  EXPECT_EQ(Run({"reminders", "--from", "2025-12-04T19:00", "--to", "+3650"}).Out.substr(0, 17), "2025-12-04 19:00\t");

  const TRun ics = Run({"export", "张三", "2025", "--format", "ics", "--months", "12", "--no-rest", "-o", "-"});
  EXPECT_NE(ics.Out.find("DTSTART;TZID="), std::string::npos);
  EXPECT_EQ(ics.Out.find("SUMMARY:休息"), std::string::npos);

  ASSERT_EQ(Run({"delete-duty", "夜班"}).Code, kExitOk);
  EXPECT_EQ(Run({"reminders", "--to", "+30"}).Out, "");
  ASSERT_EQ(Run({"clear-times", "休息"}).Code, kExitOk);
  EXPECT_EQ(Run({"next", "张三"}).Out, "张三\t白班\t2025-12-02\t全天\n") << "the cycle without 夜班, all day";
}

TEST_F(CliTimes, NextAndRemindersInJsonCarryTheOffsetAndTheWholeDay) {
  ASSERT_EQ(Run({"set-times", "夜班", "20:00", "720", "--remind", "60"}).Code, kExitOk);
  const std::string day = Run({"day", "2025-12-01", "--user", "张三", "--json"}).Out;
  const std::string dayObject = day.substr(0, day.size() - 1);
  EXPECT_EQ(Run({"next", "--json"}).Out,
            "[{\"user\":\"张三\",\"duty\":\"夜班\",\"allDay\":false,\"start\":\"2025-12-01T20:00+08:00\","
            "\"end\":\"2025-12-02T08:00+08:00\",\"day\":" + dayObject + "}]\n");
  EXPECT_EQ(Run({"reminders", "--json"}).Out,
            "[{\"due\":\"2025-12-01T19:00+08:00\",\"user\":\"张三\",\"duty\":\"夜班\",\"allDay\":false,"
            "\"start\":\"2025-12-01T20:00+08:00\",\"end\":\"2025-12-02T08:00+08:00\",\"day\":" + dayObject +
                ",\"text\":\"夜班 20:00 开始（还有60分钟）\"}]\n");
  EXPECT_EQ(Run({"reminders", "--to", "now", "--json"}).Out, "[]\n");
  // A user with nothing but rest ahead is still there, every key null.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"set-times", "休息", "-", "-", "--rest"}, {"add-scheme", "长休", "3"}, {"add-user", "李四", "2", "2025-12-01", "0"}})
    ASSERT_EQ(Run(args).Code, kExitOk) << args[0];
  const TRun none = Run({"next", "李四", "--json"});
  EXPECT_EQ(none.Out, "[{\"user\":\"李四\",\"duty\":null,\"allDay\":null,\"start\":null,\"end\":null,\"day\":null}]\n");
  EXPECT_NE(none.Err.find("no duty within a year"), std::string::npos);
}

}  // namespace
}  // namespace kadrel
