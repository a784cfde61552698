// roster, who and stats --hours on a folder the program itself wrote.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/uCliCommands.h"
#include "tests/cli/cli_test_util.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uTimeFiles.h"
#include "tests/test_dir.h"

namespace kadrel {
namespace {

using clitest::TRun;

class CliRoster : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_.Path().string();
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"add-duty", "白班"},
                                               {"add-duty", "夜班"},
                                               {"add-duty", "休息"},
                                               {"add-scheme", "三班", "1,2,3"},
                                               {"add-user", "Zhang", "1", "2025-10-01", "0"},
                                               {"add-user", "李四", "1", "2025-10-01", "1"}}) {
      ASSERT_EQ(Run(args).Code, kExitOk) << args[0];
    }
  }

  TRun Run(std::vector<std::string> args) { return clitest::RunCli(std::move(args), dir_); }

  static std::vector<std::string> Split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, by);) parts.push_back(part);
    return parts;
  }

  TTestDir temp_;
  std::string dir_;
};

TEST_F(CliRoster, EachRowIsTheUsersDutyCommand) {
  auto rows = [&] {
    const TRun roster = Run({"roster", "2025-09-29", "2025-10-04"});
    EXPECT_EQ(roster.Code, kExitOk) << roster.Err;
    const auto lines = Split(roster.Out, '\n');
    EXPECT_EQ(lines.size(), 3u);
    for (std::size_t row = 1; row < lines.size(); ++row) {
      const auto cells = Split(lines[row], '\t');
      const TRun duty = Run({"duty", cells[0], "2025-09-29", "2025-10-04"});
      std::string expected;
      for (std::size_t day = 0; day < 6; ++day) {
        expected += Split(lines[0], '\t')[day + 1] + '\t' + (day + 1 < cells.size() ? cells[day + 1] : "") + '\n';
      }
      EXPECT_EQ(duty.Out, expected) << cells[0];
    }
    return lines;
  };
  const auto lines = rows();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "姓名\t2025-09-29\t2025-09-30\t2025-10-01\t2025-10-02\t2025-10-03\t2025-10-04\t白班\t夜班\t休息\t请假\t工时");
  EXPECT_EQ(lines[1], "Zhang\t夜班\t休息\t白班\t夜班\t休息\t白班\t2\t2\t2\t0\t0");
  // A swap and a leave change both the roster and duty, the same way.
  ASSERT_EQ(Run({"swap", "Zhang", "李四", "2025-10-02"}).Code, kExitOk);
  ASSERT_EQ(Run({"leave", "Zhang", "2025-10-04", "年假"}).Code, kExitOk);
  const auto changed = rows();
  ASSERT_EQ(changed.size(), 3u);
  EXPECT_NE(changed[1], lines[1]);
  EXPECT_NE(changed[2], lines[2]);

  // A chosen group, in the order given; the JSON carries the same days.
  const TRun group = Run({"roster", "2025-10-01", "--users", "李四,zhang", "--format=csv"});
  EXPECT_EQ(group.Out, "姓名,2025-10-01,白班,夜班,请假,工时\n李四,夜班,0,1,0,0\nZhang,白班,1,0,0,0\n");
  const std::string day = Run({"duty", "Zhang", "2025-10-01", "--json"}).Out;
  EXPECT_EQ(Run({"roster", "2025-10-01", "--users", "Zhang", "--json"}).Out,
            "[{\"name\":\"Zhang\",\"days\":" + day.substr(0, day.size() - 1) +
                ",\"duties\":{\"白班\":1},\"leave\":0,\"hours\":0}]\n");
}

TEST_F(CliRoster, BadArgumentsAndUnknownUsersPrintNothing) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"roster", "2025-10-01", "--format", "pdf"},
           {"roster", "2025-10-01", "--users"},
           {"roster", "2025-10-01", "--users", "a", "--users=b"},
           {"roster", "2025-10-31", "2025-10-01"},
           {"roster", "2025-10-01", "--wide"},
           {"who", "someday"},
           {"roster", "2025", "2026"},
           {"stats", "Zhang", "2000", "2025", "--hours"},
           {"stats", "Zhang", "2025-10-01", "2025-10-02", "--hourly"}}) {
    const TRun r = Run(args);
    EXPECT_EQ(r.Code, kExitUsage) << args.back();
    EXPECT_EQ(r.Out, "") << args.back();
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"roster", "2025-10", "--users", "Zhang,Nobody"}, {"roster", "2025-10", "--users", "Zhang,"}}) {
    const TRun r = Run(args);
    EXPECT_EQ(r.Code, kExitData) << args.back();
    EXPECT_EQ(r.Out, "");
  }
}

TEST_F(CliRoster, WhoGroupsTheUsersByDutyAndItsJsonIsEachUsersDay) {
  ASSERT_EQ(Run({"leave", "Zhang", "2025-10-03", "年假"}).Code, kExitOk);
  EXPECT_EQ(Run({"who", "2025-10-03"}).Out, "白班\t李四\n年假\tZhang\n");
  auto day = [&](const char* user) {
    const std::string array = Run({"duty", user, "2025-10-03", "--json"}).Out;
    return array.substr(1, array.size() - 3);
  };
  const std::string days = day("Zhang") + ',' + day("李四");
  EXPECT_EQ(Run({"who", "2025-10-03", "--json"}).Out, '[' + days + "]\n");
}

TEST_F(CliRoster, HoursFollowTheDutyTimesOfTheFolder) {
  {
    TScheduleFolder folder(dir_);
    ASSERT_FALSE(folder.Open({TFolderAccess::Write, TWritePolicy::Trimmed}).Failed());
    TTableStream times(TTableStream::kModeReadWrite);
    TScheduleError error;
    ASSERT_TRUE(OpenOrCreateTimeFile(times, TTimeFile::Times, dir_, error)) << error.Text();
    TTimesError timesError;
    for (const TDutyTimes& t : {TDutyTimes{1, 8 * 60, 480}, TDutyTimes{2, 20 * 60, 720}, TDutyTimes{3, -1, 0, true}})
      ASSERT_TRUE(SetDutyTimes(times, folder.Records(), t, timesError)) << timesError.Text();
    ASSERT_TRUE(times.Close());
  }
  // National Day: 白班 on the 1st, the night of the 2nd runs into the 3rd.
  const TRun r = Run({"stats", "Zhang", "2025-10-01", "2025-10-03", "--hours"});
  EXPECT_EQ(r.Out,
            "白班\t1\t1\t0\t0\t8\t8\t0\t0\n夜班\t1\t1\t0\t0\t12\t12\t0\t0\n休息\t1\t1\t0\t0\t0\t0\t0\t0\n"
            "合计\t\t\t\t\t20\t20\t0\t0\n综合计算工时\t16.13\t0\n");
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(Run({"stats", "Zhang", "2025-10-01", "2025-10-03", "--hours", "--json"}).Out,
            "{\"lines\":[{\"duty\":\"白班\",\"days\":1,\"statutory\":1,\"otherOff\":0,\"makeUp\":0,\"hours\":8,"
            "\"statutoryHours\":8,\"restDayHours\":0,\"overtimeHours\":0},{\"duty\":\"夜班\",\"days\":1,\"statutory\":1,"
            "\"otherOff\":0,\"makeUp\":0,\"hours\":12,\"statutoryHours\":12,\"restDayHours\":0,\"overtimeHours\":0},"
            "{\"duty\":\"休息\",\"days\":1,\"statutory\":1,\"otherOff\":0,\"makeUp\":0,\"hours\":0,\"statutoryHours\":0,"
            "\"restDayHours\":0,\"overtimeHours\":0}],\"total\":{\"hours\":20,\"statutoryHours\":20,\"restDayHours\":0,"
            "\"overtimeHours\":0,\"untimedDays\":0},\"standardHours\":16.13,\"beyondStandardHours\":0}\n")
      << "the same figures as the lines";
  EXPECT_EQ(Split(Run({"roster", "2025-10-01", "2025-10-03", "--users", "Zhang"}).Out, '\n')[1],
            "Zhang\t白班\t夜班\t休息\t1\t1\t1\t0\t20");
}

TEST_F(CliRoster, StatsWithHoursAddsTheHourColumns) {
  // Without duty times no duty has hours, and the program says why.
  const TRun r = Run({"stats", "Zhang", "2025-10-01", "2025-10-03", "--hours"});
  EXPECT_EQ(r.Code, kExitOk) << r.Err;
  EXPECT_EQ(r.Out,
            "白班\t1\t1\t0\t0\t0\t0\t0\t0\n夜班\t1\t1\t0\t0\t0\t0\t0\t0\n休息\t1\t1\t0\t0\t0\t0\t0\t0\n"
            "合计\t\t\t\t\t0\t0\t0\t0\n综合计算工时\t16.13\t0\n");
  EXPECT_NE(r.Err.find("3 days of duties without a start"), std::string::npos);
}

}  // namespace
}  // namespace kadrel
