#include <array>

#include "schedule/uDutyTimes.h"
#include "schedule/uFolderSettings.h"
#include "schedule/uReminders.h"
#include "schedule/uTimedDuty.h"
#include "schedule/uTrayTexts.h"
#include "tests/schedule/rota_test_util.h"
#include "tests/test_env.h"

namespace kadrel {
namespace {

using schedtest::Day;
using schedtest::Utf8;

constexpr std::int32_t kDay = 1, kNight = 2, kRest = 3;  // the fixture's duty kinds

TUtcTime Utc(int y, int mo, int d, int h, int mi, int s = 0) {
  return {WallTimeOf(EncodeDate(y, mo, d), h * 60 + mi).Seconds + s};
}
// Times in Shanghai, eight hours ahead of UTC.
TUtcTime Cst(int y, int mo, int d, int h, int mi) { return {Utc(y, mo, d, h, mi).Seconds - 8 * 3600}; }

TDutyTimes Times(std::int32_t id, std::int32_t start, std::int32_t length, std::int32_t remind = -1) {
  TDutyTimes t;
  t.DutyID = id;
  t.Start = start;
  t.Length = length;
  t.Remind = remind;
  return t;
}

// Zhang works 白班 夜班 休息 from 1 January 2025, Li a day further on: Zhang
// has 夜班 on 31 July and 31 December 2025, Li on 30 July.
class DutyTimes : public schedtest::TRotaFixture {
 protected:
  void SetUp() override {
    TRotaFixture::SetUp();
    TScheduleError error;
    for (auto [table, file] : {std::pair{&times_, TTimeFile::Times}, std::pair{&config_, TTimeFile::Settings},
                               std::pair{&ledger_, TTimeFile::Ledger}}) {
      ASSERT_TRUE(OpenOrCreateTimeFile(*table, file, dir_.Path(), error)) << error.Text();
    }
  }
  void TearDown() override {
    for (TTableStream* t : {&times_, &config_, &ledger_}) EXPECT_TRUE(!t->IsOpen() || t->Close());
    TRotaFixture::TearDown();
  }
  void Set(const TDutyTimes& t) {
    TTimesError error;
    ASSERT_TRUE(SetDutyTimes(times_, schedule_, t, error)) << error.Text();
  }
  TDutyTimesMap Map() { return TDutyTimesMap(ReadDutyTimes(times_)); }
  std::vector<TTimedDuty> Duties(std::string_view user, TDateTime day) {
    return DayDuties(Resolve(user, day), static_cast<std::int64_t>(day), Map());
  }
  std::vector<TReminder> Pending(TUtcTime now) {
    keep_ = Snapshot();  // the duties' names point into it
    return PendingReminders(*keep_, Map(), shanghai_, ReadLedger(ledger_), now);
  }

  TTableStream times_{TTableStream::kModeReadWrite};
  TTableStream config_{TTableStream::kModeReadWrite};
  TTableStream ledger_{TTableStream::kModeReadWrite};
  TTimeZone shanghai_ = *TTimeZone::Find("Asia/Shanghai");
};

TEST(DutyTimeTexts, TypedTextsAreCheckedAndErrorsNameTheirField) {
  TTimesError e;
  EXPECT_EQ(ParseClock("20:00", e), 1200);
  EXPECT_EQ(ParseClock("8:05", e), 485);
  EXPECT_EQ(ParseClock("23:59", e), 1439);
  for (const char* bad : {"24:00", "20:60", "2000", "20:0", "-1:00", " 20:00", "20:00:00", ""}) {
    EXPECT_FALSE(ParseClock(bad, e)) << bad;
    EXPECT_EQ(e.Field, TTimesField::Start) << bad;
  }
  EXPECT_EQ(ParseLength("2880", e), 2880);
  for (const char* bad : {"0", "2881", "12a", "+5", "", "99999999999"}) {
    EXPECT_FALSE(ParseLength(bad, e)) << bad;
    EXPECT_EQ(e.Field, TTimesField::Length);
  }
  EXPECT_EQ(ParseRemind("0", e), 0);
  EXPECT_FALSE(ParseRemind("10081", e));
  EXPECT_EQ(e.Field, TTimesField::Remind);
  EXPECT_EQ(ParseColor("#1e90fF", e), 0x1E90FF);
  for (const char* bad : {"1E90FF", "#1E90F", "#GGGGGG", "#1E90FF0"}) EXPECT_FALSE(ParseColor(bad, e)) << bad;
  EXPECT_EQ(FormatColor(0x00A0FF), "#00A0FF");

  // An alarm on an all-day duty would ring at midnight.
  EXPECT_FALSE(CheckDutyTimes(Times(kDay, -1, 0, 30), e));
  EXPECT_EQ(e.Fault, TTimesFault::NeedsStart);
  EXPECT_EQ(e.Field, TTimesField::Remind);
  EXPECT_FALSE(CheckDutyTimes(Times(kDay, -1, 480), e));
  EXPECT_EQ(e.Field, TTimesField::Length);
  EXPECT_FALSE(CheckOwnTimes(1200, 0, e));
  EXPECT_EQ(e.Field, TTimesField::Length);
  EXPECT_TRUE(CheckOwnTimes(-1, 0, e) && CheckOwnTimes(0, 2880, e));

  EXPECT_EQ(Utf8(DutyEndText(1200, 720)), "08:00 次日");
  EXPECT_EQ(Utf8(DutyEndText(480, 1440)), "08:00 次日");
  EXPECT_EQ(Utf8(DutyEndText(480, 480)), "16:00");
  EXPECT_EQ(Utf8(DutyEndText(1200, 2160)), "08:00 第三日");
  EXPECT_EQ(Utf8(DutyEndText(0, 1440)), "00:00 次日");
}

TEST_F(DutyTimes, OneRecordPerDutyKindAndDefaultsRemoveIt) {
  TTimesError error;
  const auto before = schedtest::ReadFileBytes(TimePath(dir_.Path(), TTimeFile::Times));
  EXPECT_FALSE(SetDutyTimes(times_, schedule_, Times(9, 1200, 720), error));
  EXPECT_EQ(error.Field, TTimesField::Duty);
  EXPECT_EQ(schedtest::ReadFileBytes(TimePath(dir_.Path(), TTimeFile::Times)), before);

  // A file written elsewhere may hold two records of one duty kind.
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(times_.Append() && times_.SetInteger(kTimesDutyID, kNight) && times_.SetInteger(kTimesStart, i) &&
                times_.SetInteger(kTimesLength, 60) && times_.Post());
  }
  EXPECT_EQ(ReadDutyTimes(times_).at(0).Start, 0) << "the first counts";
  TDutyTimes night = Times(kNight, 1200, 720, 60);
  night.Color = 0x1E90FF;
  Set(night);
  Set(Times(kDay, 480, 480));
  EXPECT_EQ(ReadDutyTimes(times_), (std::vector<TDutyTimes>{night, Times(kDay, 480, 480)}));
  EXPECT_EQ(LiveRecordCount(times_), 2);
  EXPECT_EQ(Map().LongestRemind(), 60);

  Set(Times(kDay, -1, 0));  // all day again: as if never set
  EXPECT_EQ(LiveRecordCount(times_), 1);
  EXPECT_TRUE(ClearDutyTimes(times_, kNight, error));
  EXPECT_TRUE(ReadDutyTimes(times_).empty());
  EXPECT_EQ(Map().Of(kNight), Times(kNight, -1, 0));
}

TEST_F(DutyTimes, ValuesOutOfRangeInAFileCountAsNotGiven) {
  const std::array<std::array<std::int32_t, 6>, 4> raw = {{{kDay, 5000, 60, 1, 0x1000000, 30},
                                                           {kNight, 1200, 0, 0, 0xFF0000, 30},
                                                           {kRest, -1, 0, 7, -5, 30},
                                                           {4, 1200, 2881, 0, -1, 10081}}};
  for (const auto& r : raw) {
    ASSERT_TRUE(times_.Append());
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(times_.SetInteger(i, r[static_cast<std::size_t>(i)]));
    ASSERT_TRUE(times_.Post());
  }
  TDutyTimes day = Times(kDay, -1, 0);
  day.Rest = true;
  TDutyTimes night = Times(kNight, -1, 0);
  night.Color = 0xFF0000;
  EXPECT_EQ(ReadDutyTimes(times_), (std::vector<TDutyTimes>{day, night, Times(kRest, -1, 0), Times(4, -1, 0)}));
  EXPECT_EQ(Map().LongestRemind(), -1);
}

TEST_F(DutyTimes, SettingsAndTheFolderTimeZone) {
  TTimesError error;
  EXPECT_FALSE(SetSetting(config_, "TimeZone", "Mars/Olympus", error));
  EXPECT_EQ(error.Field, TTimesField::TimeZone);
  EXPECT_FALSE(SetSetting(config_, "TrayKeep", "yes", error));
  EXPECT_EQ(error.Field, TTimesField::Value);
  EXPECT_FALSE(SetSetting(config_, "Colour", "1", error));
  EXPECT_EQ(error.Text(),
            "not a setting; the settings are TimeZone, TrayKeep, NoNotifierTold, NoTrayTold, SyncUrl, SyncAccount, "
            "SyncUser, SyncCalendar, SyncAuto and SyncDoneAt");
  EXPECT_FALSE(SetSetting(config_, "NoTrayTold", "2", error));
  EXPECT_EQ(error.Text(), "NoTrayTold is 1 or 0");
  EXPECT_EQ(LiveRecordCount(config_), 0);

  {
    TScopedEnv tz("TZ", "UTC");  // a server's zone: Shanghai stands in
    EXPECT_EQ(FolderTimeZone(ReadSettings(config_)).Zone.Name(), "Asia/Shanghai");
  }
  TScopedEnv tz("TZ", "Europe/Berlin");
  TFolderZone zone = FolderTimeZone(ReadSettings(config_));
  EXPECT_EQ(zone.Zone.Name(), "Europe/Berlin");
  EXPECT_EQ(zone.Source, TZoneSource::Default);
  ASSERT_TRUE(PinTimeZone(config_, error)) << error.Text();
  {
    TScopedEnv moved("TZ", "Asia/Tokyo");  // the folder keeps its zone on another machine
    ASSERT_TRUE(PinTimeZone(config_, error));
    zone = FolderTimeZone(ReadSettings(config_));
    EXPECT_EQ(zone.Zone.Name(), "Europe/Berlin");
    EXPECT_EQ(zone.Source, TZoneSource::Stored);
  }
  ASSERT_TRUE(SetSetting(config_, "timezone", "Asia/Shanghai", error)) << error.Text();
  ASSERT_TRUE(SetSetting(config_, "TrayKeep", "1", error));
  EXPECT_EQ(LiveRecordCount(config_), 2);
  EXPECT_EQ(FindSetting(ReadSettings(config_), "TimeZone"), "Asia/Shanghai");
  EXPECT_TRUE(TrayKeep(ReadSettings(config_)));
  ASSERT_TRUE(SetSetting(config_, "notraytold", "1", error));
  EXPECT_TRUE(SwitchOn(ReadSettings(config_), kNoTrayToldKey));
  EXPECT_EQ(ReadSettings(config_).back().Key, "NoTrayTold") << "written as this version spells it";
  ASSERT_TRUE(ClearSetting(config_, "NoTrayTold", error));

  // A zone this machine does not know: the default stands in, and says so.
  ASSERT_TRUE(config_.Append() && config_.SetText(kCfgKey, "TimeZone") && config_.SetText(kCfgValue, "Mars/Olympus") &&
              config_.Post());
  ASSERT_TRUE(ClearSetting(config_, "TimeZone", error));
  EXPECT_EQ(FolderTimeZone(ReadSettings(config_)).Source, TZoneSource::Default) << "both records went";
  EXPECT_EQ(FolderTimeZone(std::vector<TSetting>{{"TimeZone", "Mars/Olympus"}}).Source, TZoneSource::Unknown);
}

TEST_F(DutyTimes, NightShiftsAcrossAMonthsAndAYearsEndAndLongDuties) {
  Set(Times(kNight, 1200, 720, 60));
  Set(Times(kDay, 480, 1440));
  auto spanText = [&](std::string_view user, TDateTime day) {
    const auto duties = Duties(user, day);
    if (duties.size() != 1) return std::string("duties: ") + std::to_string(duties.size());
    const TDutySpan s = PlaceDuty(duties[0], shanghai_);
    return FormatWallTime(s.BeginWall) + " - " + FormatWallTime(s.EndWall) + " @" + FormatWallTime({s.Begin.Seconds});
  };
  EXPECT_EQ(spanText("Zhang", Day(2025, 7, 31)), "2025-07-31 20:00 - 2025-08-01 08:00 @2025-07-31 12:00");
  EXPECT_EQ(spanText("Zhang", Day(2025, 12, 31)), "2025-12-31 20:00 - 2026-01-01 08:00 @2025-12-31 12:00");
  EXPECT_EQ(spanText("Zhang", Day(2025, 10, 31)), "2025-10-31 08:00 - 2025-11-01 08:00 @2025-10-31 00:00");
  EXPECT_EQ(spanText("Zhang", Day(2025, 11, 1)), "2025-11-01 20:00 - 2025-11-02 08:00 @2025-11-01 12:00");
  Set(Times(kNight, 1200, 2160));
  EXPECT_EQ(spanText("Zhang", Day(2025, 12, 31)), "2025-12-31 20:00 - 2026-01-02 08:00 @2025-12-31 12:00");

  // A rest day is all day, and not a next shift unless asked.
  EXPECT_EQ(spanText("Zhang", Day(2025, 8, 1)), "2025-08-01 00:00 - 2025-08-02 00:00 @2025-07-31 16:00");
  TDutyTimes rest = Times(kRest, -1, 0);
  rest.Rest = true;
  Set(rest);
  const auto snapshot = Snapshot();
  const std::size_t zhang = *snapshot->FindUser("Zhang");
  auto next = NextDuty(*snapshot, zhang, Map(), shanghai_, Cst(2026, 1, 1, 9, 0));
  ASSERT_TRUE(next);
  EXPECT_EQ(FormatWallTime(next->Span.BeginWall), "2026-01-02 08:00") << "1 January is a rest day";
  next = NextDuty(*snapshot, zhang, Map(), shanghai_, Cst(2025, 12, 31, 22, 0), true);
  EXPECT_EQ(FormatWallTime(next->Span.BeginWall), "2026-01-01 00:00");
  next = NextDuty(*snapshot, zhang, Map(), shanghai_, Cst(2025, 12, 31, 20, 0));
  EXPECT_EQ(FormatWallTime(next->Span.BeginWall), "2025-12-31 20:00") << "starting now is next";
  EXPECT_FALSE(NextDuty(*snapshot, *snapshot->FindUser("Wang"), Map(), shanghai_, Cst(2026, 1, 1, 9, 0)));
}

// The tray's words: today in the folder's zone, and the next shift.
TEST_F(DutyTimes, TheTrayTellsTodayAndTheNextShift) {
  Set(Times(kNight, 1200, 720, 60));
  TDutyTimes rest = Times(kRest, -1, 0);
  rest.Rest = true;
  Set(rest);
  const auto snapshot = Snapshot();
  auto tray = [&](std::string_view user, TUtcTime now) {
    const TTrayTexts t = TrayTexts(*snapshot, *snapshot->FindUser(user), Map(), shanghai_, now);
    return Utf8(t.Today) + " | " + Utf8(t.Next);
  };
  EXPECT_EQ(tray("Zhang", Cst(2025, 7, 31, 9, 0)), "今天：夜班 20:00 | 下一班：夜班 20:00");
  EXPECT_EQ(tray("Zhang", Cst(2025, 7, 31, 20, 30)), "今天：夜班 20:00 | 下一班：白班 8月2日");
  EXPECT_EQ(tray("Zhang", Cst(2025, 8, 1, 10, 0)), "今天：休息 | 下一班：白班 明天");
  EXPECT_EQ(tray("Zhang", Cst(2025, 8, 2, 0, 0)), "今天：白班 | 下一班：白班 今天");
  EXPECT_EQ(tray("Zhang", Utc(2025, 8, 1, 17, 0)), "今天：白班 | 下一班：夜班 明天20:00") << "01:00 in Shanghai";
  EXPECT_EQ(tray("Wang", Cst(2025, 8, 1, 10, 0)), "今天：无 | 下一班：无");
}

// The clocks change during the night: the duty lasts its minutes, so its
// end on the wall moves.
TEST_F(DutyTimes, ADutyLastsItsMinutesWhenTheClocksChange) {
  const TTimeZone berlin = *TTimeZone::Find("Europe/Berlin");
  TTimedDuty night;
  night.Duty = {true, kNight, "N"};
  night.Start = 1200;
  night.Length = 720;
  for (auto [day, end] : {std::pair{Day(2025, 10, 25), "2025-10-26 07:00"}, std::pair{Day(2025, 3, 29), "2025-03-30 09:00"},
                          std::pair{Day(2025, 6, 1), "2025-06-02 08:00"}}) {
    night.Day = static_cast<std::int64_t>(day);
    const TDutySpan span = PlaceDuty(night, berlin);
    EXPECT_EQ(FormatWallTime(span.EndWall), end);
    EXPECT_EQ(span.End.Seconds - span.Begin.Seconds, 720 * 60);
  }
}

TEST_F(DutyTimes, AnExceptionsOwnTimesWinAndTheMonthListShowsStarts) {
  Set(Times(kNight, 1200, 720, 60));
  // Without times every day reads as it always has.
  const TDutyTimesMap none;
  const auto snapshot = Snapshot();
  for (TDateTime day = Day(2025, 1, 1); day <= Day(2025, 3, 31); ++day) {
    const TResolvedDay resolved = snapshot->Resolve(*snapshot->FindUser("Zhang"), day);
    ASSERT_EQ(DayDutyTimesText(resolved, static_cast<std::int64_t>(day), none), DayDutyText(resolved));
  }
  const std::string night = GbkLiteral("夜班"), dayShift = GbkLiteral("白班"), annual = GbkLiteral("年假");
  TResolvedDay set;
  set.Duty = {true, kNight, night};
  set.Kind = TExceptionKind::Set;
  set.Start = 1320;
  set.Length = 600;
  set.Extras.push_back({7, {true, kDay, dayShift}, -1, 0});
  set.Extras.push_back({8, {true, kNight, night}, 60, 300});
  const auto duties = DayDuties(set, EncodeDate(2025, 7, 31), Map());
  ASSERT_EQ(duties.size(), 3u);
  EXPECT_TRUE(duties[0].OwnTimes && duties[0].Start == 1320 && duties[0].Length == 600 && duties[0].Remind == 60);
  EXPECT_TRUE(!duties[1].Timed() && duties[1].ExtraID == 7 && duties[1].Remind == -1);
  EXPECT_TRUE(duties[2].OwnTimes && duties[2].Start == 60 && duties[2].ExtraID == 8);
  EXPECT_EQ(Utf8(DayDutyTimesText(set, EncodeDate(2025, 7, 31), Map())), "夜班 22:00+白班+夜班 01:00");
  set.Kind = TExceptionKind::Leave;  // a leave keeps its extras
  set.Duty = {};
  set.Leave = annual;
  EXPECT_EQ(Utf8(DayDutyTimesText(set, EncodeDate(2025, 7, 31), Map())), "年假+白班+夜班 01:00");
  EXPECT_EQ(Utf8(DayDutyTimesText(Resolve("Zhang", Day(2025, 7, 31)), EncodeDate(2025, 7, 31), Map())), "夜班 20:00");
}

TEST_F(DutyTimes, RemindersDueInAWindowWithTheirTexts) {
  Set(Times(kNight, 1200, 720, 60));
  const auto snapshot = Snapshot();
  auto due = [&](TUtcTime from, TUtcTime to) {
    std::vector<std::string> lines;
    for (const auto& r : DueReminders(*snapshot, Map(), shanghai_, from, to)) {
      lines.push_back(r.UserName + " " + FormatWallTime(shanghai_.ToWall(r.Due)) + " " +
                      Utf8(ReminderText(r, r.Due, shanghai_)));
    }
    return lines;
  };
  using Lines = std::vector<std::string>;
  EXPECT_EQ(due(Cst(2025, 7, 31, 19, 0), Cst(2025, 7, 31, 19, 1)),
            Lines{"Zhang 2025-07-31 19:00 夜班 20:00 开始（还有60分钟）"});
  EXPECT_EQ(due(Cst(2025, 7, 31, 18, 0), Cst(2025, 7, 31, 19, 0)), Lines{}) << "the window's end is not in it";
  EXPECT_EQ(due({Cst(2025, 7, 31, 19, 0).Seconds + 1}, Cst(2025, 7, 31, 23, 0)), Lines{});
  EXPECT_EQ(due(Cst(2025, 7, 30, 0, 0), Cst(2025, 8, 1, 0, 0)),
            (Lines{"Li 2025-07-30 19:00 夜班 20:00 开始（还有60分钟）", "Zhang 2025-07-31 19:00 夜班 20:00 开始（还有60分钟）"}));

  Set(Times(kDay, 480, 480, 2880));
  const auto later = Snapshot();
  const auto reminders = DueReminders(*later, Map(), shanghai_, Cst(2025, 7, 31, 8, 0), Cst(2025, 7, 31, 8, 1));
  ASSERT_EQ(reminders.size(), 1u);  // Zhang's 白班 of 2 August
  EXPECT_EQ(Utf8(ReminderText(reminders[0], reminders[0].Due, shanghai_)), "白班 8月2日08:00 开始（还有2天）");
  EXPECT_EQ(Utf8(ReminderText(reminders[0], Cst(2025, 8, 1, 7, 30), shanghai_)), "白班 明天08:00 开始（还有24小时30分钟）");
}

TEST_F(DutyTimes, AReminderIsSentOnceAlsoAfterARestartAndNeverLate) {
  Set(Times(kNight, 1200, 720, 60));
  const TUtcTime now = Cst(2025, 7, 31, 19, 10);  // Kadrel starts ten minutes after the reminder was due
  auto pending = Pending(now);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(Utf8(ReminderText(pending[0], now, shanghai_)), "夜班 20:00 开始（还有50分钟）");
  EXPECT_EQ(Pending(Cst(2025, 7, 31, 20, 0)).size(), 0u) << "the duty has started";

  TTimesError error;
  ASSERT_TRUE(RecordSent(ledger_, pending, now, error)) << error.Text();
  ASSERT_TRUE(ledger_.Close());
  TScheduleError open;
  ASSERT_TRUE(OpenTimeFileIfAny(ledger_, TTimeFile::Ledger, dir_.Path(), TTableStream::kModeReadWrite, open));
  EXPECT_EQ(Pending(Cst(2025, 7, 31, 19, 20)).size(), 0u) << "sent before the restart";
  ASSERT_TRUE(RecordSent(ledger_, pending, now, error));
  EXPECT_EQ(LiveRecordCount(ledger_), 1) << "recorded once";

  Set(Times(kNight, 1260, 660, 60));  // moved to 21:00: another duty
  EXPECT_EQ(Pending(Cst(2025, 7, 31, 20, 10)).size(), 1u);

  ASSERT_TRUE(RenameLedgerUser(ledger_, "zhang ", "Zhao", error));
  EXPECT_EQ(ReadLedger(ledger_).at(0).User, "Zhao");
  ASSERT_TRUE(RecordSent(ledger_, {}, {now.Seconds + 2 * kSecondsPerDay}, error));
  EXPECT_EQ(LiveRecordCount(ledger_), 1);
  ASSERT_TRUE(RecordSent(ledger_, {}, {now.Seconds + (kLedgerKeepDays + 1) * kSecondsPerDay}, error));
  EXPECT_EQ(LiveRecordCount(ledger_), 0) << "pruned";
}

}  // namespace
}  // namespace kadrel
