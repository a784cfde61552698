// The tables against an independent astronomical calendar
// (tests/data/lunar/calendar_1901_2100.txt, made by make_fixture.js), day by
// day over the whole range.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "calendar/uCalend.h"
#include "calendar/uCalendDay.h"

namespace kadrel {
namespace {

struct TMonthStart {
  std::int64_t Serial = 0;
  int Year = 0, Month = 0, Leap = 0, Day = 0;
};

struct TFixture {
  std::vector<TMonthStart> Months;
  std::vector<std::vector<int>> TermDays;  // by year from 1901, 24 days each
  std::string Error;
};

TFixture LoadFixture() {
  TFixture fx;
  const char* root = std::getenv("KADREL_SOURCE_DIR");
  if (root == nullptr || *root == '\0') root = KADREL_TEST_SOURCE_DIR;
  const std::string path = std::string(root) + "/tests/data/lunar/calendar_1901_2100.txt";
  std::ifstream in(path);
  if (!in) fx.Error = "cannot read " + path;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind, date;
    fields >> kind;
    if (kind == "M") {
      TMonthStart m;
      fields >> date >> m.Year >> m.Month >> m.Leap >> m.Day;
      const auto serial = ParseIsoDate(date);
      if (!fields || !serial) fx.Error = "bad line: " + line;
      m.Serial = serial.value_or(0);
      fx.Months.push_back(m);
    } else if (kind == "T") {
      int year = 0;
      std::vector<int> days(24);
      fields >> year;
      for (int& d : days) fields >> d;
      if (!fields || year != 1901 + static_cast<int>(fx.TermDays.size())) fx.Error = "bad line: " + line;
      fx.TermDays.push_back(days);
    }
  }
  return fx;
}

const TFixture& Fixture() {
  static const TFixture fx = LoadFixture();
  return fx;
}

class AstronomicalCalendar : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Fixture().Error, "");
    ASSERT_EQ(Fixture().TermDays.size(), static_cast<std::size_t>(kLastCalendYear - kFirstCalendYear + 1));
    ASSERT_FALSE(Fixture().Months.empty());
    ASSERT_EQ(Fixture().Months.front().Serial, EncodeDate(1901, 1, 1));
  }
};

TEST_F(AstronomicalCalendar, EveryDayHasTheSameLunarDate) {
  const auto& months = Fixture().Months;
  const std::int64_t last = EncodeDate(kLastCalendYear, 12, 31);
  int mismatches = 0;
  for (std::size_t i = 0; i < months.size(); ++i) {
    const TMonthStart& m = months[i];
    const std::int64_t end = i + 1 < months.size() ? months[i + 1].Serial : last + 1;
    for (std::int64_t s = m.Serial; s < end; ++s) {
      const TYmd ymd = DecodeDate(s);
      int y = 0, mo = 0, d = 0;
      bool leap = false;
      SolarToLunar(ymd.Year, ymd.Month, ymd.Day, y, mo, leap, d);
      const int expectedDay = m.Day + static_cast<int>(s - m.Serial);
      if (y != m.Year || mo != m.Month || leap != (m.Leap != 0) || d != expectedDay) {
        ADD_FAILURE() << FormatIsoDate(s) << ": tables give " << y << "/" << (leap ? "L" : "") << mo << "/" << d
                      << ", astronomical " << m.Year << "/" << (m.Leap ? "L" : "") << m.Month << "/" << expectedDay;
        if (++mismatches > 20) return;
      }
    }
  }
}

TEST_F(AstronomicalCalendar, EveryTermFallsOnTheSameDay) {
  for (int year = kFirstCalendYear; year <= kLastCalendYear; ++year) {
    const std::vector<int>& days = Fixture().TermDays[static_cast<std::size_t>(year - 1901)];
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        int expected = 0;
        if (days[static_cast<std::size_t>(2 * month - 2)] == day) expected = 2 * month - 1;
        if (days[static_cast<std::size_t>(2 * month - 1)] == day) expected = 2 * month;
        EXPECT_EQ(GetSolarTermIndex(year, month, day), expected) << year << "-" << month << "-" << day;
      }
    }
  }
}

}  // namespace
}  // namespace kadrel
