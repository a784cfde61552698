#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "output/uYearDocument.h"
#include "output_fixture.h"
#include "platform/uClock.h"
#include "schedule/uScheduleFolder.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using testing::Utf8;
using testing::ZhangSan;

TEST(YearDocument, MonthsComeInCalendarOrderOnceEach) {
  const std::string text = Utf8(BuildYearDocument(ZhangSan(), 2005, {12, 2, 2}, TExportType::Text));
  const auto february = text.find("\r\n2月1日 ");
  const auto december = text.find("\r\n12月1日 ");
  ASSERT_NE(february, std::string::npos);
  ASSERT_NE(december, std::string::npos);
  EXPECT_LT(february, december);
  EXPECT_EQ(text.find("\r\n2月1日 ", february + 1), std::string::npos);
  EXPECT_EQ(text.find("\r\n1月1日 "), std::string::npos);
}

TEST(YearDocument, ThePrintFormKeepsItsTitleWithoutMonths) {
  EXPECT_EQ(Utf8(BuildYearDocument(ZhangSan(), 2005, {}, TExportType::Print)), "张三的Kadrel 2005年(公历)\r\n");
  const std::string june = Utf8(BuildYearDocument(ZhangSan(), 2005, {6}, TExportType::Print));
  EXPECT_TRUE(june.starts_with("张三的Kadrel 2005年(公历)\r\n6月\r\n6月1日    ")) << june;
}

TEST(YearDocument, TheCalendarIsStampedByTheClock) {
  const char* zone = std::getenv("TZ");
  const std::string saved = zone ? zone : "";
  ::setenv("TZ", "UTC0", 1);
  ::tzset();
  {
    TClockOverride clock([] { return static_cast<TDateTime>(EncodeDate(2024, 3, 5)) + (12 * 3600 + 34 * 60 + 56) / 86400.0; });
    const std::string ics = BuildYearDocument(ZhangSan(), 2005, {1}, TExportType::Ics);
    EXPECT_NE(ics.find("\r\nDTSTAMP:20240305T123456Z\r\n"), std::string::npos);
  }
  zone ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
}

// Documents of a user of a data folder: without exceptions byte for byte
// those of the bare rotation (the form the golden tests check); with them,
// the resolved days, and an event for a day left without a duty.
TEST(YearDocument, AFolderUserShowsTheResolvedDaysAndNothingElse) {
  schedtest::TScratchDir dir;
  schedtest::WriteDataSet(dir.Path(), {{"张三", 1, static_cast<TDateTime>(EncodeDate(2005, 1, 1)), 0}});
  TScheduleFolder folder(dir.Path());
  ASSERT_FALSE(folder.Open({TFolderAccess::Write}).Failed());
  TClockOverride clock([] { return static_cast<TDateTime>(EncodeDate(2024, 3, 5)); });
  auto ofFolder = [&] {
    const auto snapshot = folder.Snapshot();
    return TUserSchedule(snapshot, *snapshot->FindUser(GbkLiteral("张三")));
  };
  const TShiftUser rotation = testing::MakeUser("张三", {"白班", "夜班", "休息"});
  for (TExportType type : {TExportType::Text, TExportType::Html, TExportType::Dat, TExportType::Ics, TExportType::Print}) {
    EXPECT_EQ(BuildYearDocument(ofFolder(), 2005, TMonthSet::All(), type),
              BuildYearDocument(rotation, 2005, TMonthSet::All(), type))
        << ExportExtension(type);
  }
  // Unfolded, so that a search sees whole lines.
  auto ics = [&] {
    std::string text = BuildYearDocument(ofFolder(), 2005, {3}, TExportType::Ics);
    for (auto fold = text.find("\r\n "); fold != std::string::npos; fold = text.find("\r\n ", fold)) text.erase(fold, 3);
    return text;
  };
  const std::string before = ics();

  auto add = [&](TExceptionKind kind, int day, std::int32_t duty, const char* leave) {
    TExceptionRecord r;
    r.Kind = kind;
    r.User = GbkLiteral("张三");
    r.First = r.Last = static_cast<TDateTime>(EncodeDate(2005, 3, day));
    r.DutyID = duty;
    r.Leave = GbkLiteral(leave);
    TRotaError error;
    ASSERT_TRUE(folder.Rota().AddException(r, error)) << error.Text();
  };
  add(TExceptionKind::Leave, 3, 0, "年假");  // 夜班 by the rotation
  add(TExceptionKind::Set, 4, 0, "");       // 休息 by the rotation, now nothing
  add(TExceptionKind::Extra, 5, 2, "");
  const std::string text = Utf8(BuildYearDocument(ofFolder(), 2005, {3}, TExportType::Text));
  EXPECT_NE(text.find("今天：年假\r\n3月4日 "), std::string::npos);
  EXPECT_NE(text.find("今天：\r\n3月5日 "), std::string::npos);
  EXPECT_NE(text.find("今天：白班+夜班\r\n3月6日 "), std::string::npos);
  const std::string after = ics();
  EXPECT_NE(after.find("SUMMARY:年假\r\nDESCRIPTION:农历乙酉鸡年正月廿三\\n请假：年假（原：夜班）\r\n"), std::string::npos)
      << after;
  EXPECT_NE(after.find("SUMMARY:无\r\nDESCRIPTION:农历乙酉鸡年正月廿四\\n改班：无（原：休息）\r\n"), std::string::npos);
  EXPECT_NE(after.find("SUMMARY:白班+夜班\r\nDESCRIPTION:农历乙酉鸡年正月廿五惊蛰\\n加班：夜班\r\n"), std::string::npos);
  // The same days, under the same UIDs: a newer export replaces the older one's.
  auto uids = [](const std::string& calendar) {
    std::string all;
    for (auto at = calendar.find("UID:"); at != std::string::npos; at = calendar.find("UID:", at + 1)) {
      all += calendar.substr(at, calendar.find('\r', at) - at);
    }
    return all;
  };
  EXPECT_EQ(uids(after), uids(before));
}

TEST(DefaultExportName, FolderNameYearAndExtension) {
  EXPECT_EQ(DefaultExportName("/home/w", ZhangSan(), 2005, TExportType::Html),
            "/home/w/张三的Kadrel(2005年).html");
  EXPECT_EQ(DefaultExportName("/", ZhangSan(), 2005, TExportType::Text), "/张三的Kadrel(2005年).txt");
  EXPECT_EQ(DefaultExportName("/d/", ZhangSan(), 2005, TExportType::Dat), "/d/张三的Kadrel(2005年).dat");
  EXPECT_EQ(DefaultExportName("/d", ZhangSan(), 2005, TExportType::Ics), "/d/张三的Kadrel(2005年).ics");
  EXPECT_EQ(DefaultExportName("/d", ZhangSan(), 2005, TExportType::Print), "/d/张三的Kadrel(2005年).prn");
}

}  // namespace
}  // namespace kadrel
