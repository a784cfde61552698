// The hours and the roster against an October counted by hand, and the
// roster's documents against golden files (KADREL_UPDATE_GOLDEN=1 rewrites
// them; read the difference before committing it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "calendar/uHoliday.h"
#include "output/uHours.h"
#include "output/uRoster.h"
#include "output/uRosterDoc.h"
#include "tests/schedule/rota_test_util.h"

namespace kadrel {
namespace {

using schedtest::Day;
using schedtest::Request;
using schedtest::Utf8;

TDateTime Oct(int day) { return Day(2025, 10, day); }
std::int64_t Serial(TDateTime day) { return static_cast<std::int64_t>(day); }

// Zhao works 夜班 20:00 + 12 h and rests by turns from 30 September, so
// nights fall on the even days of October. On the 9th, a working Thursday,
// an extra 白班 follows the night's last 8 h; on the 10th Zhao swaps with
// Zhang (白班 08:00 + 8 h for the night); the 14th is 年假. October 2025
// has 法定 on the 1st to 3rd and 6th, 休 on the 4th, 5th, 7th and 8th, and
// 班 on Saturday the 11th.
class RosterHours : public schedtest::TRotaFixture {
 protected:
  void SetUp() override {
    TRotaFixture::SetUp();
    schedtest::PutUser(tables_.User, "Zhao", 2, Day(2025, 9, 30), 0);
    TExceptionRecord extra = Request(TExceptionKind::Extra, "Zhao", Oct(9));
    extra.DutyID = 1;
    Add(extra);
    TExceptionRecord swap = Request(TExceptionKind::Swap, "Zhao", Oct(10));
    swap.Partner = "Zhang";
    Add(swap);
    TExceptionRecord leave = Request(TExceptionKind::Leave, "Zhao", Oct(14));
    leave.Leave = GbkLiteral("年假");
    Add(leave);
    times_ = TDutyTimesMap(std::vector<TDutyTimes>{{1, 8 * 60, 480}, {2, 20 * 60, 720}, {3, -1, 0, true}});
    snapshot_ = Snapshot();
  }

  THours Hours(int firstDay, int lastDay) {
    return CountHours(*snapshot_, *snapshot_->FindUser("Zhao"), Serial(Oct(firstDay)), Serial(Oct(lastDay)), times_,
                      Holidays());
  }

  static const THoursLine& Line(const THours& hours, std::string_view utf8) {
    for (const THoursLine& line : hours.Lines) {
      if (Utf8(line.Name) == utf8) return line;
    }
    static const THoursLine none;
    ADD_FAILURE() << "no line " << utf8;
    return none;
  }

  TDutyTimesMap times_;
  std::shared_ptr<const TRotaSnapshot> snapshot_;
};

TEST_F(RosterHours, OctoberAsCountedByHand) {
  const THours h = Hours(1, 31);
  ASSERT_EQ(h.Lines.size(), 4u);
  // The lines in the order the month shows them: 休息 on the 1st, 夜班 on
  // the 2nd, the extra 白班 on the 9th, then the leave.
  EXPECT_EQ(Utf8(h.Lines[0].Name), "休息");
  EXPECT_EQ(Utf8(h.Lines[1].Name), "夜班");
  EXPECT_EQ(Utf8(h.Lines[2].Name), "白班");
  EXPECT_EQ(Utf8(h.Lines[3].Name), "年假");
  EXPECT_TRUE(h.Lines[3].Leave);

  const THoursLine& rest = Line(h, "休息");
  EXPECT_EQ(rest.Days, 16);
  EXPECT_EQ(rest.StatutoryDays, 2);  // 1st, 3rd
  EXPECT_EQ(rest.OtherOffDays, 2);   // 5th, 7th
  EXPECT_EQ(rest.MakeUpDays, 1);     // 11th
  EXPECT_EQ(rest.Minutes, 0);

  // 13 nights begun in October (15 even days less the swap and the leave),
  // 12 h each, and the last 8 h of 30 September's night.
  const THoursLine& night = Line(h, "夜班");
  EXPECT_EQ(night.Days, 13);
  EXPECT_EQ(night.Minutes, (8 + 13 * 12) * 60);
  // 1st 8 (from midnight), 2nd 4, 3rd 8, 6th 4.
  EXPECT_EQ(night.StatutoryMinutes, 24 * 60);
  // 4th 4, 5th 8, 7th 8, 8th 4, 12th 4, 18th 4, 19th 8, 25th 8, 26th 4.
  EXPECT_EQ(night.RestDayMinutes, 52 * 60);
  EXPECT_EQ(night.OvertimeMinutes, 0);

  // The swap's 白班 and the extra; on the 9th the night's 8 h come first, so
  // the extra is the day's overtime.
  const THoursLine& day = Line(h, "白班");
  EXPECT_EQ(day.Days, 2);
  EXPECT_EQ(day.Minutes, 16 * 60);
  EXPECT_EQ(day.OvertimeMinutes, 8 * 60);

  EXPECT_EQ(Line(h, "年假").Days, 1);
  EXPECT_EQ(h.LeaveDays, 1);
  EXPECT_EQ(h.Total.Minutes, 180 * 60);
  EXPECT_EQ(h.Total.StatutoryMinutes, 24 * 60);
  EXPECT_EQ(h.Total.RestDayMinutes, 52 * 60);
  EXPECT_EQ(h.Total.OvertimeMinutes, 8 * 60);
  EXPECT_EQ(FormatHours(h.StandardMinutes), "166.64");
  EXPECT_EQ(h.BeyondStandardMinutes, 0);  // 156 h without the statutory ones
}

TEST_F(RosterHours, RangeEdgesSplitAtMidnight) {
  // 1 October alone: a day of rest, and 8 h of the night begun the day
  // before, all statutory; that night's line comes after the day's own.
  THours first = Hours(1, 1);
  ASSERT_EQ(first.Lines.size(), 2u);
  EXPECT_EQ(Utf8(first.Lines[1].Name), "夜班");
  EXPECT_EQ(first.Lines[1].Days, 0);
  EXPECT_EQ(first.Total.StatutoryMinutes, 8 * 60);
  // Leave comes after the duties, though the 14th comes first.
  const THours leaveFirst = Hours(14, 16);
  ASSERT_EQ(leaveFirst.Lines.size(), 3u);
  EXPECT_EQ(Utf8(leaveFirst.Lines[2].Name), "年假");
  // The 30th alone keeps only the 4 h before midnight.
  EXPECT_EQ(Hours(30, 30).Total.Minutes, 4 * 60);
  // The second half: 96 h against 16/31 of 166.64 h.
  const THours half = Hours(16, 31);
  EXPECT_EQ(half.Total.Minutes, 96 * 60);
  EXPECT_EQ(FormatHours(half.BeyondStandardMinutes), "9.99");
}

TEST_F(RosterHours, DutiesWithoutTimesCountDaysNotHours) {
  times_ = TDutyTimesMap();
  const THours h = Hours(1, 31);
  EXPECT_EQ(h.Total.Minutes, 0);
  // Every duty without a start, the rest kind too, as nothing says it is rest.
  EXPECT_EQ(h.Total.Untimed, 16 + 13 + 2);
}

TEST(FormatHoursText, AsAPersonWritesThem) {
  EXPECT_EQ(FormatHours(720), "12");
  EXPECT_EQ(FormatHours(450), "7.5");
  EXPECT_EQ(FormatHours(20), "0.33");
  EXPECT_EQ(FormatHours(0), "0");
  EXPECT_EQ(FormatHours(9998.4), "166.64");
}

TEST_F(RosterHours, RosterCellsAndFooter) {
  std::string unknown;
  const auto users = RosterUsers(*snapshot_, {"zhao", "Zhang"}, unknown);
  ASSERT_TRUE(users);
  EXPECT_FALSE(RosterUsers(*snapshot_, {"Zhao", "Nobody"}, unknown));
  EXPECT_EQ(unknown, "Nobody");
  const TRoster roster(snapshot_, times_, Holidays(), Serial(Oct(1)), Serial(Oct(31)), *users);
  ASSERT_EQ(roster.RowCount(), 2u);
  const TRosterRow zhao = roster.Row(0);
  ASSERT_EQ(zhao.Cells.size(), 31u);
  EXPECT_EQ(Utf8(zhao.Cells[9].Text), "白班");
  EXPECT_EQ(Utf8(zhao.Cells[9].Mark), "换");
  EXPECT_EQ(Utf8(zhao.Cells[13].Text), "年假");
  EXPECT_EQ(Utf8(zhao.Cells[8].Text), "休息+白班");
  EXPECT_EQ(zhao.Hours.Total.Minutes, 180 * 60);

  // On the 10th Zhang has Zhao's night and Zhao Zhang's day; on the 9th
  // Zhao's extra adds a second 白班 to Zhang's own.
  const auto counts = roster.DayCounts();
  ASSERT_EQ(counts.size(), 3u);
  EXPECT_EQ(Utf8(counts[0].Name), "白班");
  EXPECT_EQ(counts[0].PerDay[9], 1);
  EXPECT_EQ(counts[1].PerDay[9], 1);
  EXPECT_EQ(counts[0].PerDay[8] + counts[1].PerDay[8] + counts[2].PerDay[8], 3);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST_F(RosterHours, DocumentsMatchTheGoldenFiles) {
  const TRoster roster(snapshot_, times_, Holidays(), Serial(Oct(1)), Serial(Oct(31)), AllRosterUsers(*snapshot_));
  for (const TRosterFormat format : {TRosterFormat::Csv, TRosterFormat::Html}) {
    const std::string golden =
        std::string(KADREL_TEST_SOURCE_DIR) + "/tests/data/roster/october" + std::string(RosterExtension(format));
    // The golden files are UTF-8, to be read; the file form differs only in
    // its encoding and the charset it names.
    const std::string built = BuildRosterDocument(roster, format, TDocTarget::Terminal);
    if (std::getenv("KADREL_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << built;
    EXPECT_EQ(built, ReadFile(golden)) << golden;
  }
  std::string crlf;
  for (char c : BuildRosterDocument(roster, TRosterFormat::Csv, TDocTarget::Terminal))
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(GbkToUtf8Lossy(BuildRosterDocument(roster, TRosterFormat::Csv, TDocTarget::File)), crlf);
}

}  // namespace
}  // namespace kadrel
