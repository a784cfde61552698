// Statutory days by rule, the shipped arrangements against the fixture that
// make_holidays.js wrote, damaged and overriding arrangement files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

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
    std::vector<std::string> messages;
    THolidayTable t = LoadHolidayTable({}, messages);
    EXPECT_EQ(messages, std::vector<std::string>{});
    return t;
  }();
  return table;
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
                    TRuleCase{"Eve2007NotYet", 2007, 2, 17, ""},
                    TRuleCase{"ThirdDay2007", 2007, 2, 20, "休 春节 法定"},
                    TRuleCase{"DragonBoat2007NotYet", 2007, 6, 19, ""},
                    TRuleCase{"Eve2008", 2008, 2, 6, "休 春节 法定"},
                    TRuleCase{"ThirdDay2008Dropped", 2008, 2, 9, ""},
                    TRuleCase{"May2nd2008Dropped", 2008, 5, 2, ""},
                    TRuleCase{"Qingming2008", 2008, 4, 4, "休 清明节 法定"},
                    TRuleCase{"Eve2013", 2013, 2, 9, "休 春节 法定"},
                    TRuleCase{"Eve2014Dropped", 2014, 1, 30, ""},
                    TRuleCase{"ThirdDay2014", 2014, 2, 2, "休 春节 法定"},
                    TRuleCase{"Eve2024NotYet", 2024, 2, 9, ""},
                    TRuleCase{"Eve2025", 2025, 1, 28, "休 春节 法定"},
                    TRuleCase{"May2nd2025", 2025, 5, 2, "休 劳动节 法定"},
                    // 2009 has a leap fifth month: its 初五 (06-27) is no 端午. No year of
                    // 2000..2050 has a leap eighth month.
                    TRuleCase{"DragonBoat2009", 2009, 5, 28, "休 端午节 法定"},
                    TRuleCase{"LeapFifthMonth2009", 2009, 6, 27, ""},
                    // 中秋 on 1 October: one statutory day, named for 国庆.
                    TRuleCase{"MidAutumnOnNationalDay", 2020, 10, 1, "休 国庆节 法定"},
                    TRuleCase{"PastTheTables", 2051, 1, 1, ""}),
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
  // Past the shipped years: statutory days only.
  EXPECT_EQ(Describe(Shipped(), 2027, 10, 1), "休 国庆节 法定");
  EXPECT_EQ(Describe(Shipped(), 2027, 10, 4), "");
}

TEST(HolidayFile, BadLinesAreNamedAndSkipped) {
  std::vector<std::string> messages;
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
      "休 元旦 1999-01-01\n"
      "year 2027 2028\n";  // 15
  const auto years = ParseHolidayText(text, "x.txt", messages);
  const std::vector<std::string> expected = {
      "x.txt:2: a day before any \"year YYYY\" line",
      "x.txt:5: 2027-02-11 is listed on line 4 already",
      "x.txt:6: a date must be a real date written YYYY-MM-DD",
      "x.txt:7: the last day is before the first",
      "x.txt:8: a span is at most 31 days",
      "x.txt:9: the days of year 2027 lie in that year or in the December before it",
      "x.txt:10: the festival's name is longer than 8 characters",
      "x.txt:11: expected \"year YYYY\" or a line beginning with 休 or 班",
      "x.txt:13: the year must lie between 2000 and 2050; its lines are ignored",
      "x.txt:14: a day before any \"year YYYY\" line",
      "x.txt:15: expected \"year YYYY\"",
  };
  EXPECT_EQ(messages, expected);
  ASSERT_EQ(years.size(), 1u);
  ASSERT_EQ(years[0].Entries.size(), 2u);
  EXPECT_EQ(years[0].Entries[0].Where, "x.txt:4");

  THolidayTable table;
  messages.clear();
  table.SetArrangement(years[0], messages);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Describe(table, 2027, 2, 5), "休 春节 法定") << "除夕 of 2027";
  EXPECT_EQ(Describe(table, 2027, 2, 11), "休 春节");
  EXPECT_EQ(Describe(table, 2027, 2, 14), "班 春节");
}

TEST(HolidayFile, AMakeUpWorkdayOnAStatutoryDayIsRefused) {
  std::vector<std::string> messages;
  THolidayTable table;
  table.SetArrangement(ParseHolidayText("year 2030\n班 国庆节 2030-10-03\n", "y.txt", messages).front(), messages);
  EXPECT_EQ(messages, std::vector<std::string>{"y.txt:2: 2030-10-03 is a statutory day and cannot be a make-up workday"});
  EXPECT_EQ(Describe(table, 2030, 10, 3), "休 国庆节 法定");
  EXPECT_FALSE(table.HasArrangement(2030)) << "a year of bad lines replaces nothing";
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
  std::vector<std::string> messages;
  const THolidayTable table = LoadHolidayTable({system, user, (root_ / "missing").string()}, messages);
  EXPECT_TRUE(messages.empty());
  // 2024 is the system file's: its 班 days and other spans are gone.
  EXPECT_EQ(Describe(table, 2024, 10, 9), "休 国庆节");
  EXPECT_EQ(Describe(table, 2024, 2, 4), "");
  EXPECT_EQ(Describe(table, 2024, 2, 10), "休 春节 法定");
  // 2027 is the user's, replacing the system's whole.
  EXPECT_EQ(Describe(table, 2027, 2, 12), "休 春节");
  EXPECT_EQ(Describe(table, 2027, 2, 14), "");
  // Other shipped years stay as shipped.
  EXPECT_EQ(Describe(table, 2023, 10, 7), "班 国庆节");
}

TEST_F(HolidayFolderTest, ADamagedFileLeavesTheRestAlone) {
  const std::string folder = Write("user", "2025.txt", "year 2025\n休 国庆节 2025-10-01 2025-10-9\n");
  Write("user", "notes.md", "year 2025\n");
  std::vector<std::string> messages;
  const THolidayTable table = LoadHolidayTable({folder}, messages);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], folder + "/2025.txt:2: a date must be a real date written YYYY-MM-DD");
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
