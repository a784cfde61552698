// Statutory days by rule, the joined weekends, the shipped arrangements
// against the fixture that make_holidays.js wrote, damaged and overriding
// arrangement files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "calendar/uCalend.h"
#include "calendar/uCalendDay.h"
#include "calendar/uHoliday.h"
#include "platform/uDateTime.h"
#include "tests/calendar/CalendTestUtil.h"
#include "tests/test_dir.h"

namespace kadrel {
namespace {

using test::Utf8;

// "休 春节 法定", "班 国庆节", or "" for an unmarked day.
std::string Describe(const THolidayTable& table, std::int64_t serial) {
  const THolidayDay d = table.At(serial);
  if (d.Mark == THolidayMark::None) return d.Statutory ? "statutory without a mark" : "";
  std::string text = d.Mark == THolidayMark::Off ? "休 " : "班 ";
  text += Utf8(table.FestivalName(d.Festival));
  if (d.Statutory) text += " 法定";
  return text;
}

std::string Describe(const THolidayTable& table, int y, int m, int d) {
  return Describe(table, EncodeDate(y, m, d));
}

const THolidayTable& RulesOnly() {
  static const THolidayTable table;
  return table;
}

const THolidayTable& Shipped() {
  static const THolidayTable table = [] {
    std::vector<THolidayMessage> messages;
    THolidayTable t = LoadHolidayTable({}, messages);
    EXPECT_TRUE(messages.empty());
    return t;
  }();
  return table;
}

std::vector<std::string> Texts(const std::vector<THolidayMessage>& messages) {
  std::vector<std::string> texts;
  for (const THolidayMessage& m : messages) texts.push_back(HolidayMessageText(m));
  return texts;
}

struct TRuleCase {
  const char* Name;
  int Y, M, D;
  const char* Expected;
};
void PrintTo(const TRuleCase& c, std::ostream* os) { *os << c.Name; }

class StatutoryRule : public testing::TestWithParam<TRuleCase> {};

TEST_P(StatutoryRule, WithoutArrangement) {
  const TRuleCase& c = GetParam();
  EXPECT_EQ(Describe(RulesOnly(), c.Y, c.M, c.D), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, StatutoryRule,
    testing::Values(TRuleCase{"Before2000NoMarks", 1999, 10, 1, ""},
                    // A Saturday joined to 春节's weekdays: a day off, but not statutory.
                    TRuleCase{"Eve2007NotYet", 2007, 2, 17, "休 春节"},
                    TRuleCase{"ThirdDay2007", 2007, 2, 20, "休 春节 法定"},
                    TRuleCase{"DragonBoat2007NotYet", 2007, 6, 19, ""},
                    TRuleCase{"Eve2008", 2008, 2, 6, "休 春节 法定"},
                    TRuleCase{"ThirdDay2008Dropped", 2008, 2, 9, "休 春节"},
                    TRuleCase{"May2nd2008Dropped", 2008, 5, 2, ""},
                    TRuleCase{"Qingming2008", 2008, 4, 4, "休 清明节 法定"},
                    TRuleCase{"Eve2013", 2013, 2, 9, "休 春节 法定"},
                    TRuleCase{"Eve2014Dropped", 2014, 1, 30, ""},
                    TRuleCase{"ThirdDay2014", 2014, 2, 2, "休 春节 法定"},
                    TRuleCase{"Eve2024NotYet", 2024, 2, 9, ""},
                    TRuleCase{"Eve2025", 2025, 1, 28, "休 春节 法定"},
                    TRuleCase{"May2nd2025", 2025, 5, 2, "休 劳动节 法定"},
                    // 2009 has a leap fifth month: its 初五 (06-27) is no 端午; 2052 a leap
                    // eighth month, whose 十五 (10-07) is no 中秋.
                    TRuleCase{"DragonBoat2009", 2009, 5, 28, "休 端午节 法定"},
                    TRuleCase{"LeapFifthMonth2009", 2009, 6, 27, ""},
                    TRuleCase{"MidAutumn2052", 2052, 9, 7, "休 中秋节 法定"},
                    TRuleCase{"LeapEighthMonth2052", 2052, 10, 7, ""},
                    // 中秋 on 1 October: one statutory day, named for 国庆.
                    TRuleCase{"MidAutumnOnNationalDay", 2020, 10, 1, "休 国庆节 法定"},
                    // Past the old tables, by the rules of 2025; a weekend joined to a
                    // holiday is its day off in these years too.
                    TRuleCase{"NewYear2051", 2051, 1, 1, "休 元旦 法定"},
                    TRuleCase{"Eve2100", 2100, 2, 8, "休 春节 法定"},
                    TRuleCase{"MidAutumn2089NearMidnight", 2089, 9, 18, "休 中秋节 法定"},
                    TRuleCase{"JoinedWeekend2027", 2027, 1, 2, "休 元旦"},
                    TRuleCase{"WeekendAloneStays", 2028, 1, 2, ""},
                    TRuleCase{"PastTheTables", 2101, 1, 1, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ShippedHolidays, AgreeWithTheFixtureOnEveryDay) {
  const char* root = std::getenv("KADREL_SOURCE_DIR");
  if (root == nullptr || *root == '\0') root = KADREL_TEST_SOURCE_DIR;
  std::ifstream in(std::string(root) + "/tests/data/holidays/days_2004_2026.txt");
  ASSERT_TRUE(in) << "fixture missing";
  std::map<std::int64_t, std::string> expected;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto serial = ParseIsoDate(line.substr(0, 10));
    ASSERT_TRUE(serial) << line;
    expected[*serial] = line.substr(11);
  }
  ASSERT_GT(expected.size(), 700u);
  // From the first day an arrangement of 2004 could reach.
  for (std::int64_t s = EncodeDate(2003, 12, 1); s <= EncodeDate(2026, 12, 31); ++s) {
    const auto it = expected.find(s);
    ASSERT_EQ(Describe(Shipped(), s), it == expected.end() ? "" : it->second) << FormatIsoDate(s);
  }
  for (int year = 2004; year <= 2026; ++year) EXPECT_TRUE(Shipped().HasArrangement(year)) << year;
  EXPECT_FALSE(Shipped().HasArrangement(2027));
}

TEST(ShippedHolidays, NamedCases) {
  // Spans across a year's end belong to the next year's arrangement.
  EXPECT_EQ(Describe(Shipped(), 2018, 12, 29), "班 元旦");
  EXPECT_EQ(Describe(Shipped(), 2018, 12, 30), "休 元旦");
  EXPECT_EQ(Describe(Shipped(), 2019, 1, 1), "休 元旦 法定");
  EXPECT_EQ(Describe(Shipped(), 2022, 12, 31), "休 元旦");
  // 中秋 inside or before 国庆 keeps its own name.
  EXPECT_EQ(Describe(Shipped(), 2023, 9, 29), "休 中秋节 法定");
  EXPECT_EQ(Describe(Shipped(), 2023, 9, 30), "休 国庆节");
  EXPECT_EQ(Describe(Shipped(), 2025, 10, 6), "休 中秋节 法定");
  EXPECT_EQ(Describe(Shipped(), 2025, 10, 7), "休 国庆节");
  // The package's gaps, filled.
  EXPECT_EQ(Describe(Shipped(), 2015, 6, 21), "休 端午节");
  EXPECT_EQ(Describe(Shipped(), 2012, 6, 23), "休 端午节 法定");
  EXPECT_EQ(Describe(Shipped(), 2015, 9, 5), "休 抗战胜利纪念日");
  // The notice of 2006 has 2005-12-31 as a make-up workday.
  EXPECT_EQ(Describe(Shipped(), 2005, 12, 31), "班 元旦");
  // A weekend joined to a holiday is its day off, whether the file lists it
  // (2019) or not (2024); one that joins no weekday off is not (中秋 2015
  // fell on a Sunday).
  EXPECT_EQ(Describe(Shipped(), 2019, 6, 8), "休 端午节");
  EXPECT_EQ(Describe(Shipped(), 2024, 6, 8), "休 端午节");
  EXPECT_EQ(Describe(Shipped(), 2023, 12, 30), "休 元旦");
  EXPECT_EQ(Describe(Shipped(), 2015, 9, 26), "");
  // Past the shipped years: statutory days and their weekends only.
  EXPECT_EQ(Describe(Shipped(), 2027, 10, 1), "休 国庆节 法定");
  EXPECT_EQ(Describe(Shipped(), 2027, 10, 4), "");
  EXPECT_EQ(Shipped().LastArrangementYear(), 2026);
}

// The rules read day by day from each day's lunar date and the next one's,
// as the table of notices states them; the table finds the same days from a
// few lookups a year.
std::string StatutoryByDay(std::int64_t serial) {
  const TYmd ymd = DecodeDate(serial), next = DecodeDate(serial + 1);
  int y = 0, m = 0, d = 0, ny = 0, nm = 0, nd = 0;
  bool leap = false, nextLeap = false;
  SolarToLunar(ymd.Year, ymd.Month, ymd.Day, y, m, leap, d);
  SolarToLunar(next.Year, next.Month, next.Day, ny, nm, nextLeap, nd);
  const int year = ymd.Year;
  const bool eve = !nextLeap && nm == 1 && nd == 1;
  const int springDays = year >= 2008 && year <= 2013 ? 2 : 3;
  const bool withEve = (year >= 2008 && year <= 2013) || year >= 2025;
  std::string name;
  if (ymd.Month == 1 && ymd.Day == 1) name = "元旦";
  if ((!leap && m == 1 && d <= springDays) || (withEve && eve)) name = "春节";
  if (year >= 2008 && !leap && m == 5 && d == 5) name = "端午节";
  if (year >= 2008 && !leap && m == 8 && d == 15) name = "中秋节";
  if (year >= 2008 && GetSolarTermIndex(ymd.Year, ymd.Month, ymd.Day) == 7) name = "清明节";
  if (ymd.Month == 5 && ymd.Day <= (year < 2008 ? 3 : year < 2025 ? 1 : 2)) name = "劳动节";
  if (ymd.Month == 10 && ymd.Day <= 3) name = "国庆节";
  return name.empty() ? "" : "休 " + name + " 法定";
}

TEST(StatutoryRule, EveryDayOf2000To2100AsTheRulesReadDayByDay) {
  for (std::int64_t s = EncodeDate(kFirstHolidayYear, 1, 1); s <= EncodeDate(kLastHolidayYear, 12, 31); ++s) {
    const std::string described = Describe(RulesOnly(), s);
    ASSERT_EQ(described.ends_with("法定") ? described : "", StatutoryByDay(s)) << FormatIsoDate(s);
  }
}

TEST(HolidayFile, BadLinesAreNamedAndSkipped) {
  std::vector<THolidayMessage> messages;
  const std::string text =
      "\xEF\xBB\xBF# a comment\r\n"
      "休 春节 2027-02-06\n"  // 2: before any year
      "year 2027\n"
      "休 春节 2027-02-05 2027-02-11\r\n"
      "休 春节 2027-02-11\n"  // 5: listed already
      "班 春节 2027-02-30\n"  // 6: no such date
      "班 春节 2027-02-13 2027-02-12\n"  // 7: backwards
      "休 春节 2027-01-01 2027-03-01\n"  // 8: too long
      "休 春节 2025-12-31\n"  // 9: outside the year
      "休 一二三四五六七八九 2027-04-05\n"  // 10: long name
      "假 春节 2027-04-05\n"  // 11: unknown mark
      "班 春节 2027-02-14\n"
      "year 1999\n"  // 13
      "休 元旦 1999-01-01\n"  // 14: goes with the year refused on 13
      "year 2027 2028\n"  // 15
      "班 春节 2027-02-20\n";
  const auto years = ParseHolidayText(text, "x.txt", messages, 100);
  const std::vector<std::string> expected = {
      "x.txt:2: a day before any \"year YYYY\" line",
      "x.txt:5: 2027-02-11 is listed on line 4 already",
      "x.txt:6: a date must be a real date written YYYY-MM-DD",
      "x.txt:7: the last day is before the first",
      "x.txt:8: a span is at most 31 days",
      "x.txt:9: the days of year 2027 lie in that year or in the December before it",
      "x.txt:10: the festival's name is longer than 8 characters",
      "x.txt:11: expected \"year YYYY\" or a line beginning with 休 or 班",
      "x.txt:13: the year must lie between 2000 and 2100; its lines are ignored",
      "x.txt:15: expected \"year YYYY\"; the lines up to the next year line are ignored",
  };
  EXPECT_EQ(Texts(messages), expected);
  ASSERT_EQ(years.size(), 1u);
  ASSERT_EQ(years[0].Entries.size(), 2u);
  EXPECT_EQ(years[0].Entries[0].Line, 4);

  THolidayTable table;
  table.SetArrangement(years[0]);
  EXPECT_EQ(Describe(table, 2027, 2, 5), "休 春节 法定") << "除夕 of 2027";
  EXPECT_EQ(Describe(table, 2027, 2, 11), "休 春节");
  EXPECT_EQ(Describe(table, 2027, 2, 14), "班 春节");
}

TEST(HolidayFile, AFewBadLinesAreShownThenCounted) {
  std::vector<THolidayMessage> messages;
  ParseHolidayText("year 2030\n假\n假\n假\n假\n假\n", "z.txt", messages);
  ASSERT_EQ(messages.size(), static_cast<std::size_t>(kShownBadLines) + 1);
  EXPECT_EQ(HolidayMessageText(messages.back()), "z.txt: 2 more bad lines, not shown");
  EXPECT_EQ(HolidayMessageChinese(messages.front()), "z.txt 第2行：应为“year 年份”或以“休”“班”开头的行");
}

TEST(HolidayFile, AMakeUpWorkdayOnAStatutoryDayIsRefused) {
  std::vector<THolidayMessage> messages;
  THolidayTable table;
  table.SetArrangement(ParseHolidayText("year 2030\n班 国庆节 2030-10-03\n", "y.txt", messages).front());
  EXPECT_EQ(Texts(messages),
            std::vector<std::string>{"y.txt:2: 2030-10-03 is a statutory day and cannot be a make-up workday"});
  EXPECT_EQ(Describe(table, 2030, 10, 3), "休 国庆节 法定");
  EXPECT_FALSE(table.HasArrangement(2030)) << "a year of bad lines replaces nothing";
}

TEST(HolidayTable, JoinedWeekendsTakeTheNearestFestivalBefore) {
  // 2030-03-01 is a Friday, 03-08 the next one.
  std::vector<THolidayMessage> messages;
  THolidayTable table;
  table.SetArrangement(ParseHolidayText("year 2030\n休 甲 2030-03-01\n休 乙 2030-03-04\n休 丙 2030-03-11\n"
                                        "休 丁 2030-03-15\n班 丁 2030-03-16\n",
                                        "w.txt", messages)
                           .front());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Describe(table, 2030, 3, 2), "休 甲");
  EXPECT_EQ(Describe(table, 2030, 3, 3), "休 甲");
  EXPECT_EQ(Describe(table, 2030, 3, 9), "休 丙") << "none before: the one after";
  EXPECT_EQ(Describe(table, 2030, 3, 10), "休 丙");
  EXPECT_EQ(Describe(table, 2030, 3, 17), "") << "a 班 ends the run";
}

class HolidayFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp_.Path().empty());
    root_ = temp_.Path();
  }
  std::string Write(const std::string& folder, const std::string& name, const std::string& text) {
    std::filesystem::create_directories(root_ / folder);
    std::ofstream(root_ / folder / name, std::ios::binary) << text;
    return (root_ / folder).string();
  }
  TTestDir temp_;
  std::filesystem::path root_;
};

TEST_F(HolidayFolderTest, LaterFilesOverrideShippedYears) {
  const std::string system = Write("system", "2024.txt", "year 2024\n休 国庆节 2024-10-01 2024-10-09\n");
  Write("system", "2027.txt", "year 2027\n休 春节 2027-02-05 2027-02-11\n班 春节 2027-02-14\n");
  const std::string user = Write("user", "my.txt", "year 2027\n休 春节 2027-02-05 2027-02-12\n");
  std::vector<THolidayMessage> messages;
  const THolidayTable table = LoadHolidayTable({system, user, (root_ / "missing").string()}, messages);
  EXPECT_TRUE(messages.empty());
  // 2024 is the system file's: its 班 days and other spans are gone.
  EXPECT_EQ(Describe(table, 2024, 10, 9), "休 国庆节");
  EXPECT_EQ(Describe(table, 2024, 2, 4), "");
  EXPECT_EQ(Describe(table, 2024, 2, 10), "休 春节 法定");
  // 2027 is the user's, replacing the system's whole.
  EXPECT_EQ(Describe(table, 2027, 2, 12), "休 春节");
  EXPECT_EQ(Describe(table, 2027, 2, 14), "休 春节") << "no 班 of the system's; a weekend joined to the user's";
  // Other shipped years stay as shipped.
  EXPECT_EQ(Describe(table, 2023, 10, 7), "班 国庆节");
}

TEST_F(HolidayFolderTest, AYearLineAloneEmptiesTheYear) {
  const std::string user = Write("user", "2024.txt", "# no days off beyond the law\nyear 2024\n");
  std::vector<THolidayMessage> messages;
  const THolidayTable table = LoadHolidayTable({user}, messages);
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(table.HasArrangement(2024));
  EXPECT_EQ(Describe(table, 2024, 2, 4), "");
  EXPECT_EQ(Describe(table, 2024, 2, 13), "");
  EXPECT_EQ(Describe(table, 2024, 2, 12), "休 春节 法定");
}

TEST_F(HolidayFolderTest, AnInstalledCopyOfABuiltInYearStillOverridesWhatCameBefore) {
  std::ifstream shipped(std::string(KADREL_TEST_SOURCE_DIR) + "/data/holidays/2024.txt", std::ios::binary);
  std::ostringstream copy;
  copy << shipped.rdbuf();
  ASSERT_FALSE(copy.str().empty());
  const std::string local = Write("local", "2024.txt", "year 2024\n休 国庆节 2024-10-01 2024-10-09\n");
  const std::string system = Write("system", "2024.txt", copy.str());
  std::vector<THolidayMessage> messages;
  const THolidayTable table = LoadHolidayTable({local, system}, messages);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Describe(table, 2024, 10, 9), "");
  EXPECT_EQ(Describe(table, 2024, 2, 4), "班 春节");
}

TEST_F(HolidayFolderTest, AnOversizedFileIsRefusedUnread) {
  const std::string folder = Write("user", "2030.txt", "year 2030\n" + std::string(kMaxHolidayFileBytes, '#'));
  Write("user", "2031.txt", "year 2031\n");
  std::vector<THolidayMessage> messages;
  const THolidayTable table = LoadHolidayTable({folder}, messages);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Fault, THolidayFault::TooLarge);
  EXPECT_FALSE(table.HasArrangement(2030));
  EXPECT_TRUE(table.HasArrangement(2031));
}

TEST(HolidayWarning, DatesAfterTheLastArrangementKnown) {
  EXPECT_FALSE(ArrangementWarning(Shipped(), 2020, 2026));
  EXPECT_FALSE(ArrangementWarning(Shipped(), 1990, 1999));
  EXPECT_FALSE(ArrangementWarning(Shipped(), 2101, 2200));
  const auto warning = ArrangementWarning(Shipped(), 2025, 2030);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->Year, 2027);
  EXPECT_EQ(warning->Number, 2026);
  EXPECT_TRUE(warning->Detail.ends_with("/kadrel/holidays/2027.txt")) << warning->Detail;
}

TEST_F(HolidayFolderTest, ADamagedFileLeavesTheRestAlone) {
  const std::string folder = Write("user", "2025.txt", "year 2025\n休 国庆节 2025-10-01 2025-10-9\n");
  Write("user", "notes.md", "year 2025\n");
  std::vector<THolidayMessage> messages;
  const THolidayTable table = LoadHolidayTable({folder}, messages);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(HolidayMessageText(messages[0]), folder + "/2025.txt:2: a date must be a real date written YYYY-MM-DD");
  EXPECT_EQ(Describe(table, 2025, 10, 8), "休 国庆节") << "the shipped 2025 stays";
  EXPECT_EQ(Describe(table, 2025, 9, 28), "班 国庆节");
}

TEST(HolidayFolders, FollowTheXdgBaseDirectoryRules) {
  const auto saved = [](const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  };
  const auto dirs = saved("XDG_DATA_DIRS"), home = saved("XDG_DATA_HOME"), user = saved("HOME");
  setenv("XDG_DATA_DIRS", "/a:relative:/b", 1);
  setenv("XDG_DATA_HOME", "/h", 1);
  EXPECT_EQ(HolidayFolders(),
            (std::vector<std::string>{"/b/kadrel/holidays", "/a/kadrel/holidays", "/h/kadrel/holidays"}));
  unsetenv("XDG_DATA_DIRS");
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(HolidayFolders(), (std::vector<std::string>{"/usr/share/kadrel/holidays", "/usr/local/share/kadrel/holidays",
                                                        "/home/u/.local/share/kadrel/holidays"}));
  const auto restore = [](const char* name, const std::optional<std::string>& v) {
    if (v) setenv(name, v->c_str(), 1);
    else unsetenv(name);
  };
  restore("XDG_DATA_DIRS", dirs);
  restore("XDG_DATA_HOME", home);
  restore("HOME", user);
}

TEST(HolidayDayRecord, FillDayAndTheHoverLine) {
  struct {
    int Y, M, D;
    const char* Line;
  } cases[] = {{2024, 2, 10, "节假日：春节（法定）"},
               {2024, 2, 13, "节假日：春节"},
               {2024, 2, 4, "调休上班：春节"},
               {2024, 2, 5, ""},
               {1999, 10, 1, ""}};
  for (const auto& c : cases) {
    TCalendKD kd;
    kd.Year = c.Y;
    kd.Month = c.M;
    kd.Day = c.D;
    FillDay(kd);
    EXPECT_EQ(Utf8(HolidayText(kd)), c.Line) << c.Y << "-" << c.M << "-" << c.D;
    EXPECT_EQ(kd.Festival.empty(), kd.Mark == THolidayMark::None);
  }
  // A record refilled for a date outside the tables loses its old mark.
  TCalendKD kd;
  kd.Year = 2024;
  kd.Month = 2;
  kd.Day = 10;
  FillDay(kd);
  kd.Year = 1900;
  FillDay(kd);
  EXPECT_EQ(kd.Mark, THolidayMark::None);
  EXPECT_FALSE(kd.Statutory);
  EXPECT_TRUE(kd.Festival.empty());
}

}  // namespace
}  // namespace kadrel
