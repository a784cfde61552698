#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "output/uYearDocument.h"
#include "output_fixture.h"
#include "platform/uClock.h"

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
