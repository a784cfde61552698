#include <gtest/gtest.h>

#include <algorithm>

#include "output/uScheduleDoc.h"
#include "output_fixture.h"

namespace kadrel {
namespace {

using testing::MakeUser;
using testing::Utf8;
using testing::ZhangSan;

const std::string kSeparator(80, '-');

TLineList PrintMonth(const TShiftUser& user, int year, int month) {
  TLineList lines;
  AppendPrintMonth(lines, user, year, month);
  return lines;
}

TLineList ExportMonth(const TShiftUser& user, int year, int month) {
  TLineList lines;
  AppendExportMonth(lines, user, year, month);
  return lines;
}

TEST(ScheduleTitle, NameYearAndCalendar) {
  EXPECT_EQ(Utf8(ScheduleTitle(ZhangSan(), 2005)), "张三的Kadrel 2005年(公历)");
}

TEST(PadRight, PadsCutsAndNeverSplitsACharacter) {
  EXPECT_EQ(PadRight("ab", 5), "ab   ");
  EXPECT_EQ(PadRight("abcdef", 3), "abc");
  EXPECT_EQ(PadRight("", 2), "  ");
  // Three bytes of 早班 would split 班: the cut keeps 早 and pads.
  EXPECT_EQ(Utf8(PadRight(GbkLiteral("早班"), 3)), "早 ");
}

TEST(PrintForm, FirstOfMarchCellIsTwentyTwoBytes) {
  TShiftUser user = MakeUser("张三", {"早班"});
  TLineList lines = PrintMonth(user, 2005, 3);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(Utf8(lines[0]), "3月");
  EXPECT_EQ(Utf8(lines[1].substr(0, 22)), "3月1日    早班        ");
}

TEST(PrintForm, LeapFebruaryHasSevenFullRowsAndOneSingleCell) {
  TLineList lines = PrintMonth(ZhangSan(), 2024, 2);
  ASSERT_EQ(lines.size(), 1u + 8u + 1u);
  for (int row = 1; row <= 7; ++row) EXPECT_EQ(lines[row].size(), 88u) << row;
  EXPECT_EQ(lines[8].size(), 22u);
  EXPECT_EQ(Utf8(lines[8]), "2月29日   晚班        ");
  EXPECT_EQ(lines[9], kSeparator);
}

TEST(PrintForm, CommonFebruaryHasExactlySevenRows) {
  TLineList lines = PrintMonth(ZhangSan(), 2026, 2);
  ASSERT_EQ(lines.size(), 1u + 7u + 1u);
  EXPECT_EQ(lines[7].size(), 88u);
}

TEST(PrintForm, ThirtyAndThirtyOneDayMonthsEndInTwoAndThreeCells) {
  TLineList april = PrintMonth(ZhangSan(), 2005, 4);
  TLineList may = PrintMonth(ZhangSan(), 2005, 5);
  ASSERT_EQ(april.size(), 10u);
  ASSERT_EQ(may.size(), 10u);
  EXPECT_EQ(april[8].size(), 44u);
  EXPECT_EQ(may[8].size(), 66u);
  // 2005-04-01 is day 90 of the cycle from 2005-01-01: 90 mod 4 = 2.
  EXPECT_EQ(Utf8(april[1]),
            "4月1日    晚班        4月2日    休息        4月3日    早班        4月4日    中班        ");
  EXPECT_EQ(Utf8(may[8]), "5月29日   早班        5月30日   中班        5月31日   晚班        ");
  EXPECT_EQ(Utf8(PrintMonth(ZhangSan(), 2005, 12)[3].substr(0, 10)), "12月9日   ");
  EXPECT_EQ(Utf8(PrintMonth(ZhangSan(), 2005, 12)[4].substr(0, 10)), "12月13日  ");
}

TEST(PrintForm, UserWithoutCycleHasTwelveSpacesForTheDuty) {
  TShiftUser user = MakeUser("李四", {});
  TLineList lines = PrintMonth(user, 2005, 1);
  EXPECT_EQ(Utf8(lines[1].substr(0, 22)), "1月1日                ");
}

TEST(ExportForm, FirstOfJanuary2005) {
  TLineList lines = ExportMonth(ZhangSan(), 2005, 1);
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(Utf8(lines[0]), "1月1日    农历甲申猴年十一月廿一       今天：早班");
  EXPECT_EQ(lines[31], kSeparator);
}

TEST(ExportForm, SolarTermFollowsTheLunarDayName) {
  TLineList lines = ExportMonth(ZhangSan(), 2024, 2);
  EXPECT_EQ(Utf8(lines[3]), "2月4日    农历癸卯兔年十二月廿五立春       今天：中班");
}

TEST(ExportForm, UserWithoutCycleEndsInTodayColon) {
  TLineList lines = ExportMonth(MakeUser("李四", {}), 2005, 1);
  EXPECT_EQ(Utf8(lines[0]), "1月1日    农历甲申猴年十一月廿一       今天：");
}

TEST(ExportForm, YearOutsideTheLunarTablesHasNoLunarNames) {
  TLineList lines = ExportMonth(ZhangSan(), 1900, 12);
  EXPECT_EQ(Utf8(lines[30]), "12月31日    农历       今天：中班");
  EXPECT_EQ(SplitExportLine(lines[30]).Lunar, GbkLiteral("农历"));
}

TEST(SplitExportLine, ThreePartsWithInnerSpacesKept) {
  TShiftUser user = MakeUser("张三", {" 早 班  "});
  TExportParts p = SplitExportLine(ExportMonth(user, 2005, 1)[0]);
  EXPECT_EQ(Utf8(p.Gregorian), "1月1日");
  EXPECT_EQ(Utf8(p.Lunar), "农历甲申猴年十一月廿一");
  EXPECT_EQ(Utf8(p.Duty), "今天： 早 班");
}

TEST(TextFile, TitleSeparatorThenEveryLineInCrLf) {
  TShiftUser user = MakeUser("张三", {"早班  "});
  TLineList lines = ExportMonth(user, 2005, 1);
  std::string file = BuildTextFile(ScheduleTitle(user, 2005), lines);
  std::string expectedStart = "张三的Kadrel 2005年(公历)\r\n" + kSeparator +
                              "\r\n1月1日    农历甲申猴年十一月廿一       今天：早班  \r\n";
  EXPECT_EQ(Utf8(file).substr(0, expectedStart.size()), expectedStart);
  EXPECT_TRUE(file.ends_with(kSeparator + "\r\n"));
  EXPECT_EQ(Utf8(BuildTextFile("t", {})), "t\r\n" + kSeparator + "\r\n");
}

TEST(HtmlFile, HeaderAndFirstRowByteForByte) {
  TLineList lines = ExportMonth(ZhangSan(), 2005, 1);
  std::string html = Utf8(BuildHtmlFile(ScheduleTitle(ZhangSan(), 2005), lines));
  const std::string expected =
      "<html>\r\n<head>\r\n<meta http-equiv=Content-Language content=zh-cn>\r\n"
      "<meta http-equiv=Content-Type content=text/html; charset=gb2312>\r\n"
      "<meta name=ProgId content=FrontPage.Editor.Document>\r\n<title>Kadrel</title>\r\n"
      "</head>\r\n<body>\r\n"
      "<p><b><font color=#0000FF size=5>张三的Kadrel 2005年(公历)</font></b></p>\r\n"
      "<table border=1 width=89%>\r\n"
      "  <tr>\r\n    <td width=16%>\r\n"
      "      <p align=center><font color=#0000FF>日期(公历)</font></td>\r\n"
      "    <td width=56%>\r\n"
      "      <p align=center><font color=#0000FF>日期（农历）</font></td>\r\n"
      "    <td width=28%>\r\n"
      "      <p align=center><font color=#0000FF>班</font></td>\r\n  </tr>\r\n"
      "  <tr>\r\n    <td width=16%>\r\n"
      "      <p align=center> <font color=#0000FF>1月1日</font></td>\r\n"
      "    <td width=56%> <font color=#0000FF>农历甲申猴年十一月廿一</font></td>\r\n"
      "    <td width=28%>\r\n      <p >今天：早班</td>\r\n  </tr>\r\n";
  EXPECT_EQ(html.substr(0, expected.size()), expected);
  EXPECT_TRUE(html.ends_with("  </tr>\r\n</table>\r\n</body>\r\n</html>\r\n"));
  // 18 head lines, 7 per day, 3 closing lines.
  EXPECT_EQ(std::count(html.begin(), html.end(), '\n'), 18 + 7 * 31 + 3);
}

TEST(HtmlFile, UserTextIsEscaped) {
  TShiftUser user = MakeUser("<i>&\"", {"a<b>&\""});
  TLineList lines = ExportMonth(user, 2005, 1);
  std::string html = Utf8(BuildHtmlFile(ScheduleTitle(user, 2005), lines));
  EXPECT_NE(html.find("size=5>&lt;i&gt;&amp;&quot;的Kadrel"), std::string::npos);
  EXPECT_NE(html.find("<p >今天：a&lt;b&gt;&amp;&quot;</td>"), std::string::npos);
  EXPECT_EQ(html.find("<i>"), std::string::npos);
}

TEST(HtmlAndDat, ADutyOfHyphensKeepsItsRow) {
  TShiftUser user = MakeUser("张三", {"---------"});
  TLineList lines = ExportMonth(user, 2005, 1);
  std::string dat = Utf8(BuildDatFile(lines));
  EXPECT_EQ(std::count(dat.begin(), dat.end(), '\n'), 31);
  EXPECT_NE(dat.find("1月1日,农历甲申猴年十一月廿一,今天：---------\r\n"), std::string::npos);
  std::string html = Utf8(BuildHtmlFile("t", lines));
  EXPECT_NE(html.find("<p >今天：---------</td>"), std::string::npos);
}

TEST(DatFile, OneLinePerDayForAWholeYear) {
  TLineList lines;
  for (int m = 1; m <= 12; ++m) AppendExportMonth(lines, ZhangSan(), 2024, m);
  std::string dat = BuildDatFile(lines);
  EXPECT_EQ(std::count(dat.begin(), dat.end(), '\n'), 366);
  EXPECT_TRUE(Utf8(dat).starts_with("1月1日,农历癸卯兔年十一月二十,今天：休息\r\n"));
}

TEST(DatFile, CommasAndQuotesAreQuotedAndNothingElseIs) {
  TShiftUser user = MakeUser("张三", {"早,班", "a\"b", "c d "});
  TLineList lines = ExportMonth(user, 2005, 1);
  std::string dat = Utf8(BuildDatFile(lines));
  EXPECT_TRUE(dat.starts_with("1月1日,农历甲申猴年十一月廿一,\"今天：早,班\"\r\n"
                              "1月2日,农历甲申猴年十一月廿二,\"今天：a\"\"b\"\r\n"
                              "1月3日,农历甲申猴年十一月廿三,今天：c d\r\n"));
}

TEST(DatFile, IgnoresTheTitleSoSameCycleSameFile) {
  TLineList a = ExportMonth(MakeUser("甲", {"早班", "休息"}), 2005, 6);
  TLineList b = ExportMonth(MakeUser("乙", {"早班", "休息"}), 2005, 6);
  EXPECT_EQ(BuildDatFile(a), BuildDatFile(b));
}

TEST(PrintFile, TitleThenPrintFormLines) {
  TLineList lines = PrintMonth(ZhangSan(), 2005, 1);
  std::string file = Utf8(BuildPrintFile(ScheduleTitle(ZhangSan(), 2005), lines));
  EXPECT_TRUE(file.starts_with("张三的Kadrel 2005年(公历)\r\n1月\r\n1月1日    早班        "));
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 1 + 1 + 8 + 1);
}

}  // namespace
}  // namespace kadrel
