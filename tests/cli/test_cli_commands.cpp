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
