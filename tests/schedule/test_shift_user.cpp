#include "schedule/uShiftUser.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using schedtest::PutDuty;
using schedtest::PutScheme;
using schedtest::PutUser;

// Duty kinds 1 day, 2 night, 3 rest; 4 to 8 the letters A to E for cycles
// whose every place has a name of its own.
class ShiftUserTest : public schedtest::TScheduleFixture {
 protected:
  void SetUp() override {
    TScheduleFixture::SetUp();
    PutDuty(tables_.Work, 1, "day");
    PutDuty(tables_.Work, 2, "night");
    PutDuty(tables_.Work, 3, "rest");
    for (int i = 0; i < 5; ++i) PutDuty(tables_.Work, 4 + i, std::string(1, static_cast<char>('A' + i)));
  }

  // Adds a scheme and a user of it, then loads that user.
  TShiftUser Load(std::int32_t count, const std::string& worklist, TDateTime start, std::int32_t firstId) {
    PutScheme(tables_.Shift, 1, count, "S", worklist);
    PutUser(tables_.User, "U", 1, start, firstId);
    TShiftUser user;
    LoadCurrent(user);
    return user;
  }
  // Loads the user on which the users table stands, the one put last.
  void LoadCurrent(TShiftUser& user) {
    TScheduleRecords records(tables_, TWritePolicy::Trimmed);
    LoadShiftUser(user, records, *records.UserAt(tables_.User.CurrentSlot()));
  }

  static std::string Duty(const TShiftUser& user, std::int64_t day) {
    std::string name = "<none>";
    GetDutyName(user, static_cast<TDateTime>(day), name);
    return name;
  }
};

// --- The worked example: cycle day, day, night, rest; 1 May 2003 is night.

struct TExampleRow {
  const char* Label;
  std::int64_t Date;
  const char* Duty;
};
void PrintTo(const TExampleRow& c, std::ostream* os) { *os << c.Label; }

class WorkedExample : public ShiftUserTest, public ::testing::WithParamInterface<TExampleRow> {};

TEST_P(WorkedExample, Duty) {
  TShiftUser user = Load(4, "1#1#2#3#", 37742, 2);
  ASSERT_EQ(user.Count, 4);
  EXPECT_EQ(user.Start, 37744);
  EXPECT_EQ(user.FirstID, 0);
  EXPECT_EQ(Duty(user, GetParam().Date), GetParam().Duty);
}

INSTANTIATE_TEST_SUITE_P(Rows, WorkedExample,
                         ::testing::Values(TExampleRow{"Apr27", 37738, "night"}, TExampleRow{"Apr30", 37741, "day"},
                                           TExampleRow{"May1", 37742, "night"}, TExampleRow{"May2", 37743, "rest"},
                                           TExampleRow{"May3", 37744, "day"}, TExampleRow{"May4", 37745, "day"},
                                           TExampleRow{"May5", 37746, "night"}),
                         [](const auto& info) { return std::string(info.param.Label); });

TEST_F(ShiftUserTest, LoadingKeepsTheUserFields) {
  TShiftUser user = Load(4, "1#1#2#3#", 37742, 2);
  EXPECT_EQ(user.Name, "U");
  EXPECT_EQ(user.ShiftID, 1);
  EXPECT_EQ(user.worklist, (std::vector<std::string>{"day", "day", "night", "rest"}));
}

// --- Places around the start, for every FirstID in and out of range.

TEST_F(ShiftUserTest, StoredStartAndTheDayBeforeFollowFirstIdModuloCount) {
  const std::int64_t start = 40000;
  for (std::int32_t first : {-11, -5, -1, 0, 1, 4, 5, 9, 23}) {
    SCOPED_TRACE(first);
    TShiftUser user;
    PutScheme(tables_.Shift, 100 + first, 5, "S", "4#5#6#7#8#");
    PutUser(tables_.User, "U", 100 + first, static_cast<TDateTime>(start), first);
    LoadCurrent(user);
    const std::string letters = "ABCDE";
    auto at = [&](std::int64_t place) { return std::string(1, letters[static_cast<std::size_t>(((place % 5) + 5) % 5)]); };
    EXPECT_EQ(Duty(user, start), at(first));
    EXPECT_EQ(Duty(user, start - 1), at(first - 1));
    EXPECT_EQ(Duty(user, static_cast<std::int64_t>(user.Start)), "A");  // the normalised start is place 0
  }
}

TEST_F(ShiftUserTest, EveryDayFollowsTheDayBeforeWithoutASeam) {
  TShiftUser user = Load(5, "4#5#6#7#8#", 40000, 3);
  const std::string order = "ABCDEA";
  for (std::int64_t day = 40000 - 2000; day < 40000 + 2000; ++day) {
    std::string today = Duty(user, day), tomorrow = Duty(user, day + 1);
    ASSERT_EQ(order[order.find(today[0]) + 1], tomorrow[0]) << "at day " << day;
  }
}

TEST_F(ShiftUserTest, FarDatesUseTheWholeSixtyFourBitDifference) {
  TShiftUser user = Load(5, "4#5#6#7#8#", 40000, 0);
  const std::int64_t s = static_cast<std::int64_t>(user.Start);
  const std::int64_t far = 5LL * 1'000'000'007LL;  // beyond 32 bits, a multiple of the cycle
  EXPECT_EQ(Duty(user, s + far), "A");
  EXPECT_EQ(Duty(user, s - far), "A");
  EXPECT_EQ(Duty(user, s + far + 2), "C");
  EXPECT_EQ(Duty(user, s - far - 2), "D");
}

TEST_F(ShiftUserTest, CountOneGivesTheSameDutyOnEveryDate) {
  TShiftUser user = Load(1, "2#", 40000, 0);
  ASSERT_EQ(user.Count, 1);
  for (std::int64_t day : {-700000LL, 0LL, 39999LL, 40000LL, 40001LL, 2958465LL}) EXPECT_EQ(Duty(user, day), "night");
}

TEST_F(ShiftUserTest, TimeOfDayOfTheStartIsIgnored) {
  TShiftUser bare = Load(4, "1#1#2#3#", 37742, 2);
  PutUser(tables_.User, "V", 1, 37742.99, 2);
  TShiftUser late;
  LoadCurrent(late);
  for (std::int64_t day = 37700; day < 37800; ++day) ASSERT_EQ(Duty(late, day), Duty(bare, day)) << day;
}

TEST_F(ShiftUserTest, TimeOfDayOfTheDateIsIgnored) {
  TShiftUser user = Load(4, "1#1#2#3#", 37742, 2);
  std::string name;
  ASSERT_TRUE(GetDutyName(user, 37743.9, name));
  EXPECT_EQ(name, "rest");
}

TEST_F(ShiftUserTest, MissingDutyKindsShrinkTheCycle) {
  TShiftUser user = Load(4, "1#9#2#3#", 40000, 0);
  EXPECT_EQ(user.Count, 3);
  EXPECT_EQ(user.worklist, (std::vector<std::string>{"day", "night", "rest"}));
}

TEST_F(ShiftUserTest, TokensThatAreNotDecimalIntegersAreSkipped) {
  TShiftUser user = Load(6, "1#x##2# 3 #0x4#", 40000, 0);
  EXPECT_EQ(user.Count, 3);
  EXPECT_EQ(user.worklist, (std::vector<std::string>{"day", "night", "rest"}));
}

TEST_F(ShiftUserTest, TokensBeyondTheStoredCountAreIgnored) {
  TShiftUser user = Load(2, "1#2#3#1#", 40000, 0);
  EXPECT_EQ(user.Count, 2);
  EXPECT_EQ(user.worklist, (std::vector<std::string>{"day", "night"}));
  EXPECT_EQ(Duty(user, 40000), "day");
  EXPECT_EQ(Duty(user, 40001), "night");
  EXPECT_EQ(Duty(user, 40002), "day");
}

TEST_F(ShiftUserTest, AHugeStoredCountAllocatesOnlyWhatResolves) {
  TShiftUser user = Load(std::numeric_limits<std::int32_t>::max(), "1#2#3#", 40000, 0);
  EXPECT_EQ(user.Count, 3);
  EXPECT_EQ(user.worklist.size(), 3u);
}

TEST_F(ShiftUserTest, ExtremeFirstIdDoesNotOverflow) {
  const std::int32_t first = std::numeric_limits<std::int32_t>::min();
  TShiftUser user = Load(5, "4#5#6#7#8#", 40000, first);
  ASSERT_EQ(user.Count, 5);
  // index = (date - stored start + FirstID) mod 5, floored: -2147483648 mod 5 = 2.
  EXPECT_EQ(Duty(user, 40000), "C");
  EXPECT_EQ(Duty(user, 40001), "D");
}

struct TNoCycleCase {
  const char* Label;
  std::int32_t Count;
  std::string WorkList;
  TDateTime Start;
};
void PrintTo(const TNoCycleCase& c, std::ostream* os) { *os << c.Label; }

class NoCycle : public ShiftUserTest, public ::testing::WithParamInterface<TNoCycleCase> {};

TEST_P(NoCycle, EveryLookupFailsAndLeavesTheTextAlone) {
  const auto& c = GetParam();
  TShiftUser user = Load(c.Count, c.WorkList, c.Start, 0);
  EXPECT_LE(user.Count, 0);
  std::string text = "keep";
  for (std::int64_t day : {0LL, 40000LL, 40001LL}) {
    EXPECT_FALSE(GetDutyName(user, static_cast<TDateTime>(day), text));
    EXPECT_EQ(text, "keep");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, NoCycle,
    ::testing::Values(TNoCycleCase{"CountZero", 0, "1#2#", 40000}, TNoCycleCase{"CountNegative", -3, "1#2#", 40000},
                      TNoCycleCase{"NoKindExists", 2, "9#10#", 40000}, TNoCycleCase{"EmptyList", 2, "", 40000},
                      TNoCycleCase{"StartNotANumber", 2, "1#2#", std::nan("")},
                      TNoCycleCase{"StartInfinite", 2, "1#2#", std::numeric_limits<double>::infinity()},
                      TNoCycleCase{"StartAbsurd", 2, "1#2#", 1e300}),
    [](const auto& info) { return std::string(info.param.Label); });

TEST_F(ShiftUserTest, UnknownSchemeClearsTheCycleOfThePreviousUser) {
  TShiftUser user = Load(4, "1#1#2#3#", 37742, 2);
  ASSERT_EQ(user.Count, 4);
  PutUser(tables_.User, "Lost", 77, 37742, 0);
  LoadCurrent(user);
  EXPECT_EQ(user.Name, "Lost");
  EXPECT_EQ(user.Count, -1);
  EXPECT_TRUE(user.worklist.empty());
  std::string text = "keep";
  EXPECT_FALSE(GetDutyName(user, 37742, text));
  EXPECT_EQ(text, "keep");
}

TEST_F(ShiftUserTest, ADeletedSchemeStillResolvesUntilItsSlotIsReused) {
  TShiftUser user = Load(4, "1#1#2#3#", 37742, 2);
  ASSERT_TRUE(tables_.Shift.LocateInteger("ID", 1));
  ASSERT_TRUE(tables_.Shift.Delete());
  LoadCurrent(user);
  EXPECT_EQ(user.Count, 4);
  PutScheme(tables_.Shift, 2, 1, "New", "1#");  // takes the deleted slot
  LoadCurrent(user);
  EXPECT_EQ(user.Count, -1);
}

TEST_F(ShiftUserTest, LoadingDoesNotMoveTheUsersTable) {
  PutScheme(tables_.Shift, 1, 2, "S", "1#2#");
  for (const char* name : {"P", "Q", "R"}) PutUser(tables_.User, name, 1, 40000, 0);
  // Loading every user from inside a walk over the users table.
  std::vector<std::string> seen;
  for (tables_.User.First(); !tables_.User.Eof(); tables_.User.Next()) {
    std::int32_t slot = tables_.User.CurrentSlot();
    TShiftUser user;
    TScheduleRecords records(tables_, TWritePolicy::Trimmed);
    LoadShiftUser(user, records, {slot, tables_.User.FieldByIndex(kUserName).AsString(), 1, 40000, 0});
    EXPECT_EQ(tables_.User.CurrentSlot(), slot);
    seen.push_back(user.Name);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"P", "Q", "R"}));
}

TEST(ShiftUser, ARecordFilledByHandThatBreaksTheInvariantGetsNoDuty) {
  TShiftUser user;
  user.Count = 3;
  user.worklist = {"a"};
  std::string text = "keep";
  EXPECT_FALSE(GetDutyName(user, 2, text));
  EXPECT_EQ(text, "keep");
  EXPECT_FALSE(GetDutyName(user, std::nan(""), text));
  EXPECT_TRUE(GetDutyName(user, 3, text));
  EXPECT_EQ(text, "a");
}

TEST(ShiftUser, ANewRecordHasNoCycle) {
  TShiftUser user;
  std::string text = "keep";
  EXPECT_FALSE(GetDutyName(user, 40000, text));
  EXPECT_EQ(text, "keep");
}

}  // namespace
}  // namespace kadrel
