// Calendar files of a folder whose duty kinds have hours, against golden
// files that tests/output/ics_golden_check.py also reads back with the
// iCalendar readers phones and desktop calendars use. KADREL_UPDATE_GOLDEN=1
// writes the golden files anew instead of comparing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "output/uIcs.h"
#include "schedule/uFolderSettings.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uTimedDuty.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

constexpr std::string_view kStamp = "20260101T000000Z";

// 张三 on scheme 1 (白班 夜班 休息), 夜班 on 1 December 2025 and so on
// 31 December, whose night runs into the next year.
class IcsTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    schedtest::WriteDataSet(dir_.Path(), {{"张三", 1, static_cast<TDateTime>(EncodeDate(2025, 12, 1)), 1}});
    ASSERT_FALSE(folder_.Open({TFolderAccess::Write}).Failed());
  }

  void Times(std::int32_t id, std::int32_t start, std::int32_t length, bool rest, std::int32_t remind,
             std::int32_t color = kNoColor) {
    TScheduleError open;
    ASSERT_TRUE(folder_.OpenForChange(TScheduleFile::Times, open)) << open.Text();
    TTimesError error;
    ASSERT_TRUE(SetDutyTimes(folder_.Tables().Times, folder_.Records(), {id, start, length, rest, color, remind}, error))
        << error.Text();
  }
  void Zone(const char* name) {
    TScheduleError open;
    ASSERT_TRUE(folder_.OpenForChange(TScheduleFile::Settings, open)) << open.Text();
    TTimesError error;
    ASSERT_TRUE(SetSetting(folder_.Tables().Settings, kTimeZoneKey, name, error)) << error.Text();
  }
  void Exception(TExceptionKind kind, int month, int day, std::int32_t duty, std::int32_t start = -1,
                 std::int32_t length = 0, int year = 2025) {
    TExceptionRecord r;
    r.Kind = kind;
    r.User = GbkLiteral("张三");
    r.First = r.Last = static_cast<TDateTime>(EncodeDate(year, month, day));
    r.DutyID = duty;
    r.Start = start;
    r.Length = length;
    TRotaError error;
    ASSERT_TRUE(folder_.Rota().AddException(r, error)) << error.Text();
  }
  TUserSchedule User() {
    auto snapshot = folder_.Snapshot();
    return TUserSchedule(snapshot, 0, std::make_shared<TFolderTimes>(ReadFolderTimes(folder_.Tables())));
  }

  void ExpectGolden(const std::string& name, const std::string& text) {
    const std::string path = std::string(KADREL_TEST_SOURCE_DIR) + "/tests/output/golden/" + name;
    if (std::getenv("KADREL_UPDATE_GOLDEN")) {
      std::ofstream(path, std::ios::binary) << text;
      return;
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream golden;
    golden << in.rdbuf();
    EXPECT_EQ(text, golden.str()) << path;
  }

  schedtest::TScratchDir dir_;
  TScheduleFolder folder_{dir_.Path()};
};

TEST_F(IcsTimes, ANightShiftAcrossTheYearsEndWithReminderAndAnExceptionsOwnTimes) {
  Times(1, 8 * 60, 480, false, -1, 0x1E90FF);  // 白班 08:00-16:00, no reminder
  Times(2, 20 * 60, 720, false, 60);            // 夜班 20:00 to 08:00 the next day, reminded an hour before
  Times(3, -1, 0, true, -1);                    // 休息 all day, free
  Zone("Asia/Shanghai");
  Exception(TExceptionKind::Set, 12, 10, 1, 10 * 60, 300);  // 夜班 by the rotation: 白班 10:00-15:00 that day
  Exception(TExceptionKind::Extra, 12, 3, 2);               // 白班 and a second duty, 夜班
  ExpectGolden("night-shift-2025-12.ics", BuildIcsFile(User(), 2025, {12}, kStamp));
}

TEST_F(IcsTimes, ADayLongDutyInAZoneWithSummerTimeWithoutTheRestDays) {
  Times(1, 8 * 60, 1440, false, 30);  // 白班 08:00 to 08:00 the next day
  Times(2, -1, 0, false, -1, 0xFF0000);
  Times(3, -1, 0, true, -1);
  Zone("Europe/Berlin");
  // 28 March: 夜班, and a second 白班 over the night the clocks go forward,
  // which ends at 09:00 summer time.
  Exception(TExceptionKind::Extra, 3, 28, 1, -1, 0, 2026);
  ExpectGolden("day-1440-2026-03.ics", BuildIcsFile(User(), 2026, {3}, kStamp, {.NoRest = true, .Key = {}, .RefreshHours = 0}));
}

// A folder without times, or whose times give no duty kind a start, gives
// the file it gave before duty kinds had hours, byte for byte.
TEST_F(IcsTimes, WithoutStartTimesTheFileIsTheRotationsOwn) {
  const std::string plain = BuildIcsFile(TUserSchedule(folder_.Snapshot(), 0), 2025, {12}, kStamp);
  EXPECT_EQ(BuildIcsFile(User(), 2025, {12}, kStamp), plain);
  Times(1, -1, 0, false, -1, 0x00FF00);
  Times(3, -1, 0, true, -1);
  Zone("Europe/Berlin");
  EXPECT_EQ(BuildIcsFile(User(), 2025, {12}, kStamp), plain);
  EXPECT_EQ(plain.find("VALARM"), std::string::npos);
}

}  // namespace
}  // namespace kadrel
