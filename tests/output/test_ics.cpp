#include <gtest/gtest.h>
#include <libical/ical.h>

#include <memory>
#include <set>

#include "output/uIcs.h"
#include "output_fixture.h"

namespace kadrel {
namespace {

using IcalPtr = std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)>;

IcalPtr Parse(const std::string& text) {
  return IcalPtr(icalparser_parse_string(text.c_str()), &icalcomponent_free);
}

struct Event {
  std::string uid, summary, description;
  icaltimetype start, end;
};

std::vector<Event> EventsOf(icalcomponent* cal) {
  std::vector<Event> events;
  for (icalcomponent* e = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
    events.push_back({icalcomponent_get_uid(e), icalcomponent_get_summary(e),
                      icalcomponent_get_description(e), icalcomponent_get_dtstart(e),
                      icalcomponent_get_dtend(e)});
  }
  return events;
}

const TMonthSet kAllMonths = TMonthSet::All();

TEST(Ics, AWholeYearIsValidWithOneAllDayEventPerDay) {
  std::string text = BuildIcsFile(testing::ZhangSan(), 2024, kAllMonths, "20260101T000000Z");
  IcalPtr cal = Parse(text);
  ASSERT_TRUE(cal);
  EXPECT_EQ(icalcomponent_count_errors(cal.get()), 0);
  EXPECT_EQ(icalrestriction_check(cal.get()), 1);
  EXPECT_EQ(icalcomponent_count_errors(cal.get()), 0);
  std::vector<Event> events = EventsOf(cal.get());
  ASSERT_EQ(events.size(), 366u);
  EXPECT_TRUE(events[0].start.is_date);
  EXPECT_EQ(events[0].start.day, 1);
  EXPECT_EQ(events[0].end.day, 2);
  EXPECT_EQ(events[365].start.month, 12);
  EXPECT_EQ(events[365].end.year, 2025);  // DTEND is the day after
  EXPECT_EQ(events[0].summary, "休息");
  EXPECT_EQ(events[34].description, "农历癸卯兔年十二月廿五立春");  // 2024-02-04
  std::set<std::string> uids;
  for (const auto& e : events) uids.insert(e.uid);
  EXPECT_EQ(uids.size(), events.size());
}

TEST(Ics, OfficialDaysOffNameTheirFestival) {
  const std::string text = BuildIcsFile(testing::ZhangSan(), 2024, {2}, "20260101T000000Z");
  const auto event = [&](const std::string& date) {
    const std::size_t at = text.find("DTSTART;VALUE=DATE:" + date);
    return text.substr(at, text.find("END:VEVENT", at) - at);
  };
  EXPECT_NE(event("20240210").find("DESCRIPTION:农历甲辰龙年正月初一\\n节假日：春节（法定）\r\n"
                                   "CATEGORIES:法定节假日\r\n"),
            std::string::npos);
  EXPECT_NE(event("20240213").find("\\n节假日：春节\r\nCATEGORIES:休息日\r\n"), std::string::npos);
  EXPECT_EQ(event("20240204").find("CATEGORIES"), std::string::npos) << "a make-up workday";
  EXPECT_EQ(event("20240205").find("CATEGORIES"), std::string::npos);
  // The UIDs do not depend on the marks.
  EXPECT_NE(text.find("UID:kadrel-" + KeyOfName(testing::ZhangSan().Name) + "-20240210-day\r\n"), std::string::npos);
}

// A range is the same events as the years it spans, under the folder's key
// and never the name; a subscription asks to be fetched again.
TEST(Ics, ARangeCarriesTheKeyAndNoNameAndASubscriptionItsRefresh) {
  const TShiftUser user = testing::ZhangSan();
  TIcsOptions options;
  options.Key = std::string(32, 'a');
  const std::string year = BuildIcsFile(user, 2024, TMonthSet::All(), "20260101T000000Z", options);
  options.RefreshHours = 12;
  const std::string range =
      BuildIcsRange(user, EncodeDate(2023, 12, 31), EncodeDate(2025, 1, 1), "20260101T000000Z", options);
  const auto events = [](const std::string& text) {
    const std::size_t from = text.find("BEGIN:VEVENT");
    return text.substr(from, text.rfind("END:VEVENT") - from);
  };
  EXPECT_NE(events(range).find(events(year)), std::string::npos);
  EXPECT_NE(range.find("UID:kadrel-" + options.Key + "-20231231-day\r\n"), std::string::npos);
  EXPECT_NE(range.find("\r\nREFRESH-INTERVAL;VALUE=DURATION:PT12H\r\nX-PUBLISHED-TTL:PT12H\r\n"), std::string::npos);
  EXPECT_EQ(year.find("REFRESH-INTERVAL"), std::string::npos);
  std::string hexName;
  for (unsigned char c : user.Name) hexName += "0123456789abcdef"[c >> 4], hexName += "0123456789abcdef"[c & 15];
  EXPECT_EQ(range.find(hexName), std::string::npos);
  EXPECT_NE(KeyOfName(user.Name), KeyOfName(user.Name + "x"));
}

TEST(Ics, HeaderNamesTheCalendarAfterTheTitle) {
  std::string text = BuildIcsFile(testing::ZhangSan(), 2005, {}, "20260101T000000Z");
  EXPECT_TRUE(text.starts_with("BEGIN:VCALENDAR\r\nPRODID:"));
  EXPECT_NE(text.find("\r\nVERSION:2.0\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nX-WR-CALNAME:张三的Kadrel 2005年(公历)\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("END:VCALENDAR\r\n"));
}

TEST(Ics, UidsAreStableAcrossExportsAndDifferBetweenUsers) {
  TMonthSet june{6};
  auto a = EventsOf(Parse(BuildIcsFile(testing::ZhangSan(), 2005, june, "20260101T000000Z")).get());
  auto b = EventsOf(Parse(BuildIcsFile(testing::ZhangSan(), 2005, june, "20270505T101010Z")).get());
  auto c = EventsOf(Parse(BuildIcsFile(testing::MakeUser("李四", {"早班"}), 2005, june,
                                       "20260101T000000Z")).get());
  ASSERT_EQ(a.size(), 30u);
  ASSERT_EQ(c.size(), 30u);
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].uid, b[i].uid);
    EXPECT_NE(a[i].uid, c[i].uid);
  }
}

TEST(Ics, ChosenMonthsOnlyInAnyOrder) {
  TMonthSet months{12, 2, 2};
  auto events = EventsOf(Parse(BuildIcsFile(testing::ZhangSan(), 2026, months, "20260101T000000Z")).get());
  ASSERT_EQ(events.size(), 28u + 31u);
  EXPECT_EQ(events.front().start.month, 2);
  EXPECT_EQ(events.back().start.month, 12);
}

TEST(Ics, UserWithoutCycleGivesAValidCalendarWithoutEvents) {
  std::string text = BuildIcsFile(testing::MakeUser("李四", {}), 2005, kAllMonths, "20260101T000000Z");
  IcalPtr cal = Parse(text);
  ASSERT_TRUE(cal);
  EXPECT_EQ(icalrestriction_check(cal.get()), 1);
  EXPECT_TRUE(EventsOf(cal.get()).empty());
}

TEST(Ics, SpecialCharactersSurviveEscaping) {
  TShiftUser user = testing::MakeUser("a;b", {"早,班", "x\\y;z"});
  auto events = EventsOf(Parse(BuildIcsFile(user, 2005, {1}, "20260101T000000Z")).get());
  ASSERT_EQ(events.size(), 31u);
  EXPECT_EQ(events[0].summary, "早,班");
  EXPECT_EQ(events[1].summary, "x\\y;z");
  EXPECT_EQ(IcsEscape("a\r\nb\nc"), "a\\nb\\nc");
}

TEST(Ics, ControlBytesFromADamagedFileNeverReachTheFile) {
  TShiftUser user = testing::MakeUser(std::string("a\x01b\x1b", 4), {std::string("x\x7f\tyz")});
  std::string text = BuildIcsFile(user, 2005, TMonthSet{1}, "20260101T000000Z");
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    EXPECT_TRUE(u >= 0x20 || c == '\r' || c == '\n' || c == '\t') << int(u);
    EXPECT_NE(u, 0x7F);
  }
  auto events = EventsOf(Parse(text).get());
  ASSERT_EQ(events.size(), 31u);
  EXPECT_EQ(events[0].summary, "x\tyz");
}

// The first and the last year the CLI takes: each day lasts one day, also the
// last day of 9999, whose exclusive end would need a five-digit year.
TEST(Ics, TheFirstAndTheLastYearAreValid) {
  for (int year : {1, 9999}) {
    SCOPED_TRACE(year);
    std::string text = BuildIcsFile(testing::ZhangSan(), year, TMonthSet{1, 12}, "20260101T000000Z");
    EXPECT_EQ(text.find("DTEND"), std::string::npos);
    IcalPtr cal = Parse(text);
    ASSERT_TRUE(cal);
    EXPECT_EQ(icalcomponent_count_errors(cal.get()), 0);
    std::vector<Event> events = EventsOf(cal.get());
    ASSERT_EQ(events.size(), 62u);
    EXPECT_EQ(events.back().start.year, year);
    EXPECT_EQ(events.back().start.day, 31);
    EXPECT_NE(text.find(year == 1 ? "DTSTART;VALUE=DATE:00011231\r\nDURATION:P1D\r\n"
                                  : "DTSTART;VALUE=DATE:99991231\r\nDURATION:P1D\r\n"),
              std::string::npos);
  }
}

TEST(IcsFold, LinesStayWithin75OctetsAndNeverSplitACharacter) {
  std::string line = "DESCRIPTION:";
  for (int i = 0; i < 40; ++i) line += "农";
  std::string folded = IcsFold(line);
  std::size_t start = 0;
  std::string unfolded;
  while (start < folded.size()) {
    std::size_t end = folded.find("\r\n", start);
    std::string part = folded.substr(start, end == std::string::npos ? std::string::npos : end - start);
    EXPECT_LE(part.size(), 75u);
    if (start > 0) {
      ASSERT_EQ(part[0], ' ');
      part.erase(0, 1);
    }
    ASSERT_NE(static_cast<unsigned char>(part[0]) & 0xC0, 0x80) << "split character";
    unfolded += part;
    if (end == std::string::npos) break;
    start = end + 2;
  }
  EXPECT_EQ(unfolded, line);
  EXPECT_EQ(IcsFold("short"), "short");
}

}  // namespace
}  // namespace kadrel
