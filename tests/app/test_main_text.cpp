// The hover text, the banner motion and the user-menu captions.
#include "app/uKadrelMainText.h"

#include <gtest/gtest.h>

#include "tests/app/app_test_util.h"

namespace kadrel {
namespace {

using apptest::G;
using apptest::U;

TCalendKD Day(int y, int m, int d) {
  TCalendKD day;
  day.Year = y;
  day.Month = m;
  day.Day = d;
  FillDay(day);
  return day;
}

// 白班 夜班 休息 with 白班 on 1 February 2024.
TShiftUser ThreeShiftUser() {
  TShiftUser user;
  user.Name = G("张三");
  user.ShiftID = 1;
  user.Count = 3;
  user.Start = static_cast<TDateTime>(EncodeDate(2024, 2, 1));
  user.worklist = {G("白班"), G("夜班"), G("休息")};
  return user;
}

struct THintCase {
  const char* Name;
  int Y, M, D;
  bool WithCycle;
  const char* Expected;  // UTF-8, lines joined by "\r"
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const THintCase& c, std::ostream* os) { *os << c.Name; }

class HintText : public ::testing::TestWithParam<THintCase> {};

TEST_P(HintText, ReadsAsTheTooltipShowsIt) {
  const THintCase& c = GetParam();
  const TShiftUser user = c.WithCycle ? ThreeShiftUser() : TShiftUser{};
  EXPECT_EQ(U(CalendarHintText(Day(c.Y, c.M, c.D), user)), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Days, HintText,
    ::testing::Values(
        THintCase{"UserWithoutCycleTwoLines", 2024, 2, 5, false, "今天是：2月5日\r农历：癸卯兔年十二月廿六"},
        THintCase{"UserWithCycleThreeLines", 2024, 2, 5, true, "今天是：2月5日\r农历：癸卯兔年十二月廿六\r今天夜班"},
        // A holiday mark adds its line before the duty.
        THintCase{"MakeUpWorkday", 2024, 2, 4, true,
                  "今天是：2月4日\r农历：癸卯兔年十二月廿五\r调休上班：春节\r今天白班"},
        THintCase{"StatutoryDay", 2024, 2, 10, false, "今天是：2月10日\r农历：甲辰龙年正月初一\r节假日：春节（法定）"},
        THintCase{"OtherDayOff", 2023, 10, 5, false, "今天是：10月5日\r农历：癸卯兔年八月廿一\r节假日：国庆节"},
        THintCase{"DayBeforeTheStartRunsBackwards", 2024, 1, 31, true,
                  "今天是：1月31日\r农历：癸卯兔年十二月廿一\r今天休息"},
        THintCase{"LeapMonth", 2023, 3, 22, false, "今天是：3月22日\r农历：癸卯兔年闰二月初一"},
        THintCase{"LeapDay", 2024, 2, 29, true, "今天是：2月29日\r农历：甲辰龙年正月二十\r今天夜班"},
        // The navigator reaches 1900, where the lunar tables end: no names,
        // but the text is still whole and the duty still known.
        THintCase{"BeforeTheLunarTables", 1900, 6, 1, true, "今天是：6月1日\r农历：\r今天夜班"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(UserCaption, TheNameComesBackWhole) {
  // 沖 ends in the byte of "_" in GBK; a name may hold "_" of its own.
  for (const char* name : {"a_b", "沖", "_", "a__", "张三"}) {
    const std::string gbk = G(name);
    const std::string caption = UserItemCaption(gbk);
    EXPECT_EQ(caption, gbk + "_") << name;
    EXPECT_EQ(UserNameOfCaption(caption), gbk) << name;
  }
}

}  // namespace
}  // namespace kadrel
