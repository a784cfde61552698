// The command table run in-process, where the clock can be fixed for "today".
#include "cli/uCliCommands.h"

#include <sstream>

#include <gtest/gtest.h>

#include "platform/uClock.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using schedtest::FixedNow;
using schedtest::TScratchDir;

class CliInProcess : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    args.insert(args.begin(), {"--data", dir_.Path()});
    return CliMain(args, out_, err_);
  }

  TClockOverride clock_{FixedNow};
  TScratchDir dir_;
  std::ostringstream out_, err_;
};

TEST_F(CliInProcess, TodayIsTheClocksDate) {
  ASSERT_EQ(Run({"add-duty", "A"}), 0) << err_.str();
  ASSERT_EQ(Run({"add-duty", "B"}), 0) << err_.str();
  ASSERT_EQ(Run({"add-scheme", "S", "1,2"}), 0) << err_.str();
  ASSERT_EQ(Run({"add-user", "Ann", "1", "today", "1"}), 0) << err_.str();
  ASSERT_EQ(Run({"users"}), 0);
  EXPECT_EQ(out_.str(), "Ann\tS\t2026-03-14\t1\n");
  ASSERT_EQ(Run({"duty", "ann", "today", "2026-03-15"}), 0);
  EXPECT_EQ(out_.str(), "2026-03-14\tB\n2026-03-15\tA\n");
  ASSERT_EQ(Run({"day", "today"}), 0);
  EXPECT_EQ(out_.str().rfind("2026-03-14\t", 0), 0u);
}

TEST_F(CliInProcess, TodayGivesEveryUsersDuty) {
  ASSERT_EQ(Run({"add-duty", "A"}), 0) << err_.str();
  ASSERT_EQ(Run({"add-duty", "B"}), 0) << err_.str();
  ASSERT_EQ(Run({"add-scheme", "S", "1,2"}), 0) << err_.str();
  ASSERT_EQ(Run({"add-user", "Ann", "1", "yesterday", "0"}), 0) << err_.str();
  ASSERT_EQ(Run({"add-user", "Bo", "1", "-2", "0"}), 0) << err_.str();
  ASSERT_EQ(Run({"today"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "Ann\tB\nBo\tA\n");
  // Today's days are the days `duty` gives, in the one shape.
  std::string days;
  for (const char* user : {"Ann", "Bo"}) {
    ASSERT_EQ(Run({"--json", "duty", user, "today"}), 0) << err_.str();
    const std::string one = out_.str();  // "[{...}]\n"
    if (!days.empty()) days += ',';
    days.append(one, 1, one.size() - 3);
  }
  ASSERT_EQ(Run({"--json", "today"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "[" + days + "]\n");
  EXPECT_NE(days.find("\"user\":\"Bo\",\"duty\":\"A\",\"change\":null}"), std::string::npos) << days;
  ASSERT_EQ(Run({"duty", "Ann", "+1", "tomorrow"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "2026-03-15\tA\n");
}

TEST(CliDates, DayWordsOffsetsMonthsAndYears) {
  const std::int64_t today = EncodeDate(2026, 3, 14);
  EXPECT_EQ(ParseCliDay("tomorrow", today), today + 1);
  EXPECT_EQ(ParseCliDay("yesterday", today), today - 1);
  EXPECT_EQ(ParseCliDay("+30", today), EncodeDate(2026, 4, 13));
  EXPECT_EQ(ParseCliDay("-365", today), EncodeDate(2025, 3, 14));
  EXPECT_EQ(ParseCliDay("+0", today), today);
  for (const char* bad : {"+", "-", "+-1", "+1d", "+ 1", "+99999999", "-9999999", "2026", "2026-03", "Tomorrow"}) {
    EXPECT_FALSE(ParseCliDay(bad, today)) << bad;
  }
  EXPECT_EQ(ParseCliDayRange("2024-02", today), (TCliDayRange{EncodeDate(2024, 2, 1), EncodeDate(2024, 2, 29)}));
  EXPECT_EQ(ParseCliDayRange("1900", today), (TCliDayRange{EncodeDate(1900, 1, 1), EncodeDate(1900, 12, 31)}));
  EXPECT_EQ(ParseCliDayRange("today", today), (TCliDayRange{today, today}));
  for (const char* bad : {"0000", "202", "20261", "2026-13", "2026-00", "2026-1", "2026-1x"}) {
    EXPECT_FALSE(ParseCliDayRange(bad, today)) << bad;
  }
}

TEST_F(CliInProcess, ParsersAcceptOnlyWhatTheyShould) {
  EXPECT_EQ(ParseCliDate("today"), EncodeDate(2026, 3, 14));
  EXPECT_EQ(ParseCliDate("2003-05-01"), 37742);
  EXPECT_FALSE(ParseCliDate("Today"));
  EXPECT_FALSE(ParseCliDate("2003-5-1"));
  EXPECT_EQ(ParseCliInteger("-12"), -12);
  EXPECT_FALSE(ParseCliInteger(""));
  EXPECT_FALSE(ParseCliInteger("+1"));
  EXPECT_FALSE(ParseCliInteger("1 "));
  EXPECT_FALSE(ParseCliInteger("2147483648"));
}

}  // namespace
}  // namespace kadrel
