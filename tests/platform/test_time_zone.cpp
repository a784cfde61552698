#include "platform/uTimeZone.h"

#include <gtest/gtest.h>
#include <libical/ical.h>

#include "tests/test_env.h"

namespace kadrel {
namespace {

TWallTime Wall(int y, int mo, int d, int h, int mi) { return WallTimeOf(EncodeDate(y, mo, d), h * 60 + mi); }
TUtcTime Utc(int y, int mo, int d, int h, int mi) { return {Wall(y, mo, d, h, mi).Seconds}; }

struct TZoneCase {
  const char* Name;
  const char* Zone;
  TWallTime Local;
  TUtcTime Instant;  // what Local means
  TWallTime Shown;   // what the clocks show at Instant
};

class TimeZoneCases : public ::testing::TestWithParam<TZoneCase> {};

TEST_P(TimeZoneCases, WallTimeAndInstant) {
  const TZoneCase& c = GetParam();
  const auto zone = TTimeZone::Find(c.Zone);
  ASSERT_TRUE(zone);
  EXPECT_EQ(FormatWallTime({zone->ToUtc(c.Local).Seconds}), FormatWallTime({c.Instant.Seconds}));
  EXPECT_EQ(FormatWallTime(zone->ToWall(c.Instant)), FormatWallTime(c.Shown));
}

INSTANTIATE_TEST_SUITE_P(
    , TimeZoneCases,
    ::testing::Values(
        TZoneCase{"ShanghaiNightShift", "Asia/Shanghai", Wall(2025, 9, 30, 20, 0), Utc(2025, 9, 30, 12, 0),
                  Wall(2025, 9, 30, 20, 0)},
        TZoneCase{"ShanghaiYearEnd", "Asia/Shanghai", Wall(2026, 1, 1, 8, 0), Utc(2026, 1, 1, 0, 0),
                  Wall(2026, 1, 1, 8, 0)},
        // Summer time from 1986 to 1991.
        TZoneCase{"ShanghaiSummer1988", "Asia/Shanghai", Wall(1988, 6, 1, 20, 0), Utc(1988, 6, 1, 11, 0),
                  Wall(1988, 6, 1, 20, 0)},
        TZoneCase{"BerlinWinter", "Europe/Berlin", Wall(2025, 1, 15, 20, 0), Utc(2025, 1, 15, 19, 0),
                  Wall(2025, 1, 15, 20, 0)},
        TZoneCase{"BerlinSummer", "Europe/Berlin", Wall(2025, 7, 15, 20, 0), Utc(2025, 7, 15, 18, 0),
                  Wall(2025, 7, 15, 20, 0)},
        // 02:30 does not occur on 30 March 2025: read with the winter offset, shown as 03:30.
        TZoneCase{"BerlinSkippedHour", "Europe/Berlin", Wall(2025, 3, 30, 2, 30), Utc(2025, 3, 30, 1, 30),
                  Wall(2025, 3, 30, 3, 30)},
        // 02:30 occurs twice on 26 October 2025: the first, in summer time.
        TZoneCase{"BerlinRepeatedHour", "Europe/Berlin", Wall(2025, 10, 26, 2, 30), Utc(2025, 10, 26, 0, 30),
                  Wall(2025, 10, 26, 2, 30)},
        TZoneCase{"BerlinAfterRepeat", "Europe/Berlin", Wall(2025, 10, 26, 3, 0), Utc(2025, 10, 26, 2, 0),
                  Wall(2025, 10, 26, 3, 0)},
        TZoneCase{"Utc", "Etc/UTC", Wall(2025, 3, 30, 2, 30), Utc(2025, 3, 30, 2, 30), Wall(2025, 3, 30, 2, 30)}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(TimeZone, NamesThatLeaveTheZoneFolderOrDoNotExistAreRefused) {
  for (const char* bad : {"", "../zoneinfo/Europe/Berlin", "/usr/share/zoneinfo/Europe/Berlin", "Europe//Berlin",
                          "Europe/Berlin/", "Asia/Shanghai ", "right/Europe/Berlin", "Europe", "Mars/Olympus",
                          "asia/shanghai"}) {
    EXPECT_FALSE(TTimeZone::Find(bad)) << bad;
  }
  EXPECT_TRUE(TTimeZone::Find("America/Argentina/Buenos_Aires"));
  EXPECT_TRUE(TTimeZone::Find("Etc/GMT-8"));
  EXPECT_EQ(TTimeZone::Find("UTC")->OffsetAt(Utc(2025, 7, 1, 0, 0)), 0);
}

TEST(TimeZone, WallDaysAndMinutesBefore1970) {
  for (int year : {1900, 1969, 1970, 2050}) {
    const TWallTime t = Wall(year, 1, 1, 23, 59);
    EXPECT_EQ(WallDay(t), EncodeDate(year, 1, 1)) << year;
    EXPECT_EQ(WallMinute(t), 23 * 60 + 59) << year;
  }
  EXPECT_EQ(FormatWallTime(Wall(1900, 3, 1, 0, 5)), "1900-03-01 00:05");
  EXPECT_EQ(UtcOfDateTime(UtcDateTime(Utc(2025, 12, 31, 12, 0)))->Seconds, Utc(2025, 12, 31, 12, 0).Seconds);
}

// The component, read back by libical, gives every offset the zone gives,
// under the zone's own name, and holds none of the centuries before.
TEST(TimeZone, VTimezoneReadsBackAsTheZone) {
  for (const char* name : {"Europe/Berlin", "Asia/Shanghai"}) {
    const TTimeZone zone = *TTimeZone::Find(name);
    const std::string text = zone.VTimezone(Utc(2025, 1, 1, 0, 0));
    EXPECT_NE(text.find(std::string("\r\nTZID:") + name + "\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("+0053"), std::string::npos) << "no local mean time of the 19th century";
    EXPECT_EQ(text.find("+0805"), std::string::npos);
    icalcomponent* vtz = icalparser_parse_string(text.c_str());
    ASSERT_TRUE(vtz) << text;
    icaltimezone* read = icaltimezone_new();
    ASSERT_TRUE(icaltimezone_set_component(read, vtz));
    for (std::int64_t s = Utc(2025, 1, 1, 0, 0).Seconds; s < Utc(2031, 1, 1, 0, 0).Seconds; s += 3 * 3600) {
      icaltimetype tt = icaltime_from_timet_with_zone(s, 0, icaltimezone_get_utc_timezone());
      int daylight = 0;
      ASSERT_EQ(icaltimezone_get_utc_offset_of_utc_time(read, &tt, &daylight), zone.OffsetAt({s}))
          << name << " " << FormatWallTime({s});
    }
    icaltimezone_free(read, 1);
  }
}

TEST(TimeZone, SystemZoneFromTzOrItsPath) {
  const std::pair<const char*, const char*> cases[] = {{"Europe/Berlin", "Europe/Berlin"},
                                                       {":Asia/Tokyo", "Asia/Tokyo"},
                                                       {"/usr/share/zoneinfo/America/New_York", "America/New_York"},
                                                       {"CST-8", ""},
                                                       {"Mars/Olympus", ""}};
  for (const auto& [tz, name] : cases) {
    TScopedEnv env("TZ", tz);
    EXPECT_EQ(SystemTimeZoneName(), name) << tz;
  }
  EXPECT_EQ(ZoneNameOfPath("../usr/share/zoneinfo/Asia/Shanghai"), "Asia/Shanghai");
  EXPECT_EQ(ZoneNameOfPath("/etc/zoneinfo/../../etc/passwd"), "");
  EXPECT_TRUE(IsUtcZoneName("Etc/UTC") && IsUtcZoneName("Zulu") && !IsUtcZoneName("Europe/London"));
}

}  // namespace
}  // namespace kadrel
