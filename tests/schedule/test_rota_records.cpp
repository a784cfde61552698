#include <algorithm>
#include <filesystem>
#include <limits>

#include "tests/schedule/rota_test_util.h"

namespace kadrel {
namespace {

using schedtest::Jan;
using schedtest::ReadFileBytes;
using schedtest::Utf8;

class RotaRecords : public schedtest::TRotaFixture {
 protected:
  std::vector<schedtest::Bytes> ScheduleBytes() {
    std::vector<schedtest::Bytes> bytes;
    for (TScheduleFile f : kScheduleFiles) bytes.push_back(ReadFileBytes(dir_.File(f)));
    return bytes;
  }
  std::vector<std::int32_t> IdsOf(std::string_view user) {
    std::vector<std::int32_t> ids;
    for (const auto& r : rota_.ExceptionsOf(user, schedtest::Day(1900, 1, 1), schedtest::Day(2050, 12, 31))) {
      ids.push_back(r.ID);
    }
    return ids;
  }
};

TEST(RotaFiles, AbsentFilesReadAsEmptyAndForeignOnesAreRefused) {
  schedtest::TScratchDir dir;
  TTableStream table(TTableStream::kModeReadWrite);
  TScheduleError error;
  ASSERT_TRUE(OpenRotaFileIfAny(table, TScheduleFile::Exceptions, dir.Path(), TTableStream::kModeReadShared, error));
  EXPECT_FALSE(table.IsOpen());
  EXPECT_TRUE(ReadExceptions(table).empty());
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{});

  ASSERT_TRUE(OpenOrCreateRotaFile(table, TScheduleFile::Exceptions, dir.Path(), error)) << error.Text();
  ASSERT_TRUE(table.Close());
  EXPECT_EQ(std::filesystem::file_size(dir.File("excdat.kd2")), 64u + 32u * 12u);
  // A users table where the history belongs: opened by neither route.
  std::filesystem::copy_file(dir.File("excdat.kd2"), dir.File("histdat.kd2"));
  EXPECT_FALSE(OpenRotaFileIfAny(table, TScheduleFile::History, dir.Path(), TTableStream::kModeReadShared, error));
  EXPECT_EQ(error.Table.Damage, TDamage::ForeignFields);
  EXPECT_EQ(error.File, "histdat.kd2");
  EXPECT_FALSE(OpenOrCreateRotaFile(table, TScheduleFile::History, dir.Path(), error));
  EXPECT_FALSE(table.IsOpen());
}

// --- Every refusal names its field and writes nothing -------------------------

struct TRefusal {
  const char* Label;
  TRotaFault Fault;
  TRotaField Field;
  TExceptionRecord Request;
};
void PrintTo(const TRefusal& r, std::ostream* os) { *os << r.Label; }

TExceptionRecord With(TExceptionRecord r, auto change) {
  change(r);
  return r;
}

const TExceptionRecord kSet = schedtest::Request(TExceptionKind::Set, "Zhang", Jan(20));
const TExceptionRecord kSwap = With(schedtest::Request(TExceptionKind::Swap, "Zhang", Jan(1)),
                                    [](auto& r) { r.Partner = "Li"; });
const TExceptionRecord kLeave = With(schedtest::Request(TExceptionKind::Leave, "Zhang", Jan(11), Jan(14)),
                                     [](auto& r) { r.Leave = "x"; });

class RotaRefusals : public RotaRecords, public ::testing::WithParamInterface<TRefusal> {};

TEST_P(RotaRefusals, NameTheFieldAndChangeNothing) {
  Add(kLeave);  // 11 to 14 January
  Add(With(kSwap, [](auto& r) { r.First = r.Last = Jan(4); }));
  const auto before = ReadFileBytes(dir_.File("excdat.kd2"));
  TExceptionRecord request = GetParam().Request;
  TRotaError error;
  EXPECT_FALSE(rota_.AddException(request, error));
  EXPECT_EQ(error.Fault, GetParam().Fault) << error.Text();
  EXPECT_EQ(error.Field, GetParam().Field) << error.Text();
  EXPECT_FALSE(error.Reason.empty());
  EXPECT_EQ(ReadFileBytes(dir_.File("excdat.kd2")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RotaRefusals,
    ::testing::Values(
        TRefusal{"UnknownUser", TRotaFault::UnknownUser, TRotaField::User, With(kSet, [](auto& r) { r.User = "Nobody"; })},
        TRefusal{"UnknownDuty", TRotaFault::UnknownDuty, TRotaField::Duty, With(kSet, [](auto& r) { r.DutyID = 9; })},
        TRefusal{"ExtraOfNoDuty", TRotaFault::UnknownDuty, TRotaField::Duty,
                 With(kSet, [](auto& r) { r.Kind = TExceptionKind::Extra; })},
        TRefusal{"BadKind", TRotaFault::BadKind, TRotaField::Kind,
                 With(kSet, [](auto& r) { r.Kind = static_cast<TExceptionKind>(9); })},
        TRefusal{"Reversed", TRotaFault::Reversed, TRotaField::Last, With(kSet, [](auto& r) { r.Last = Jan(19); })},
        TRefusal{"Over366Days", TRotaFault::TooManyDays, TRotaField::Last,
                 With(kSet, [](auto& r) { r.Last = r.First + 366; })},
        TRefusal{"Before1900", TRotaFault::BadDate, TRotaField::First,
                 With(kSet, [](auto& r) { r.First = schedtest::Day(1899, 12, 31); })},
        TRefusal{"AfterTheCalendar", TRotaFault::BadDate, TRotaField::Last,
                 With(kSet, [](auto& r) { r.Last = schedtest::Day(kLastRotaYear + 1, 1, 1); })},
        TRefusal{"NotADate", TRotaFault::BadDate, TRotaField::First,
                 With(kSet, [](auto& r) { r.First = std::numeric_limits<double>::quiet_NaN(); })},
        TRefusal{"NoteTooLong", TRotaFault::TooLong, TRotaField::Note,
                 With(kSet, [](auto& r) { r.Note = std::string(50, 'n'); })},
        TRefusal{"NoteTwoLines", TRotaFault::BadText, TRotaField::Note, With(kSet, [](auto& r) { r.Note = "a\nb"; })},
        TRefusal{"EmptyNote", TRotaFault::EmptyText, TRotaField::Note,
                 With(kSet, [](auto& r) { r.Kind = TExceptionKind::Note; r.Note = "  "; })},
        TRefusal{"LeaveKindTooLong", TRotaFault::TooLong, TRotaField::Leave,
                 With(kLeave, [](auto& r) { r.First = r.Last = Jan(20); r.Leave = GbkLiteral("五个中文字"); })},
        TRefusal{"LeaveKindNotGbk", TRotaFault::BadText, TRotaField::Leave,
                 With(kLeave, [](auto& r) { r.First = r.Last = Jan(20); r.Leave = "\x81"; })},
        TRefusal{"LeaveOverlapsLeave", TRotaFault::Overlap, TRotaField::First,
                 With(kLeave, [](auto& r) { r.First = Jan(14); r.Last = Jan(30); })},
        TRefusal{"SwapWithSelf", TRotaFault::SelfSwap, TRotaField::Partner,
                 With(kSwap, [](auto& r) { r.Partner = " zhang"; })},
        TRefusal{"SwapWithNobody", TRotaFault::UnknownUser, TRotaField::Partner,
                 With(kSwap, [](auto& r) { r.Partner = "Nobody"; })},
        TRefusal{"SwapWithoutDuty", TRotaFault::NoDuty, TRotaField::Partner,
                 With(kSwap, [](auto& r) { r.Partner = "Wang"; })},
        TRefusal{"SwapOnLeave", TRotaFault::NoDuty, TRotaField::User,
                 With(kSwap, [](auto& r) { r.First = r.Last = Jan(12); })},
        TRefusal{"SwapOverTwoDays", TRotaFault::TooManyDays, TRotaField::Last,
                 With(kSwap, [](auto& r) { r.Last = Jan(2); })},
        TRefusal{"SwapTwice", TRotaFault::AlreadySwapped, TRotaField::User,
                 With(kSwap, [](auto& r) { r.First = r.Last = Jan(4); })},
        TRefusal{"OwnStartAtMidnightOfTheNextDay", TRotaFault::BadTimes, TRotaField::Start,
                 With(kSet, [](auto& r) { r.DutyID = 1; r.Start = 1440; r.Length = 60; })},
        TRefusal{"OwnLengthWithoutStart", TRotaFault::BadTimes, TRotaField::Length,
                 With(kSet, [](auto& r) { r.Kind = TExceptionKind::Extra; r.DutyID = 1; r.Length = 60; })},
        TRefusal{"OwnLengthOverTwoDays", TRotaFault::BadTimes, TRotaField::Length,
                 With(kSet, [](auto& r) { r.DutyID = 1; r.Start = 0; r.Length = 2881; })}),
    [](const auto& info) { return std::string(info.param.Label); });

TEST_F(RotaRecords, OwnTimesAreStoredWithADutyAndDroppedWithout) {
  auto timed = [](TExceptionRecord r) {
    r.Start = 1200;
    r.Length = 720;
    return r;
  };
  Add(timed(With(kSet, [](auto& r) { r.DutyID = 1; })));
  Add(timed(With(kSet, [](auto& r) { r.Kind = TExceptionKind::Extra; r.DutyID = 2; })));
  Add(timed(With(kSet, [](auto& r) { r.First = r.Last = Jan(21); })));  // set to no duty
  Add(timed(With(kLeave, [](auto& r) { r.First = r.Last = Jan(22); })));
  std::vector<std::pair<std::int32_t, std::int32_t>> stored;
  for (const auto& r : rota_.Exceptions()) stored.emplace_back(r.Start, r.Length);
  EXPECT_EQ(stored, (std::vector<std::pair<std::int32_t, std::int32_t>>{{1200, 720}, {1200, 720}, {-1, 0}, {-1, 0}}));
}

TEST_F(RotaRecords, AnOverlapNamesTheLeaveItMeets) {
  const std::int32_t id = Add(kLeave);
  TExceptionRecord again = kLeave;
  TRotaError error;
  ASSERT_FALSE(rota_.AddException(again, error));
  EXPECT_EQ(error.Reason, "the leave overlaps leave " + std::to_string(id) + " (2025-01-11 to 2025-01-14)");
}

// --- Changes ----------------------------------------------------------------------

TEST_F(RotaRecords, ASwapIsTwoLinkedHalvesAndDroppingEitherDropsBoth) {
  TExceptionRecord swap = With(kSwap, [](auto& r) { r.Partner = "li "; r.Note = "n"; });
  TRotaError error;
  ASSERT_TRUE(rota_.AddException(swap, error)) << error.Text();
  const auto halves = rota_.Exceptions();
  ASSERT_EQ(halves.size(), 2u);
  EXPECT_EQ(halves[0].User, "Zhang");
  EXPECT_EQ(halves[0].Partner, "Li");  // as userdat stores the name
  EXPECT_EQ(halves[1].User, "Li");
  EXPECT_EQ(halves[1].Partner, "Zhang");
  EXPECT_EQ(halves[0].Link, halves[1].ID);
  EXPECT_EQ(halves[1].Link, halves[0].ID);
  EXPECT_EQ(halves[1].Note, "n");

  std::vector<TExceptionRecord> dropped;
  ASSERT_TRUE(rota_.DropException(halves[1].ID, dropped, error)) << error.Text();
  EXPECT_EQ(dropped.size(), 2u);
  EXPECT_TRUE(rota_.Exceptions().empty());
  EXPECT_FALSE(rota_.DropException(halves[0].ID, dropped, error));
  EXPECT_EQ(error.Fault, TRotaFault::NotFound);
  // IDs are never handed out again.
  EXPECT_EQ(Add(kSet), halves[1].ID + 1);
}

TEST_F(RotaRecords, TheScheduleFilesKeepTheirBytes) {
  const auto before = ScheduleBytes();
  std::vector<std::int32_t> ids{Add(With(kSet, [](auto& r) { r.DutyID = 2; })), Add(kLeave), Add(kSwap),
                                Add(With(kSet, [](auto& r) { r.Kind = TExceptionKind::Note; r.Note = "n"; })),
                                Add(With(kSet, [](auto& r) { r.Kind = TExceptionKind::Extra; r.DutyID = 1; }))};
  EXPECT_EQ(ScheduleBytes(), before);
  std::vector<TExceptionRecord> dropped;
  TRotaError error;
  for (std::int32_t id : ids) EXPECT_TRUE(rota_.DropException(id, dropped, error)) << error.Text();
  EXPECT_TRUE(rota_.Exceptions().empty());
  EXPECT_EQ(ScheduleBytes(), before);
}

TEST_F(RotaRecords, RenamingCarriesRecordsAndDeletingRemovesThemWithThePartnerHalves) {
  Add(kLeave);
  Add(kSwap);
  const std::int32_t lis = Add(With(kSet, [](auto& r) { r.User = "Li"; }));
  TRotaError error;
  ASSERT_TRUE(rota_.ChangeScheme("Zhang", Jan(20), 2, 0, error)) << error.Text();
  const std::string before = Duty("Zhang", Jan(1)) + Duty("Zhang", Jan(12)) + Duty("Zhang", Jan(19));

  TUserRecord zhang = *schedule_.FindUser("Zhang");
  zhang.Name = "Zhao";
  ASSERT_TRUE(rota_.SaveUser(zhang, error)) << error.Text();
  EXPECT_TRUE(IdsOf("Zhang").empty());
  EXPECT_EQ(IdsOf("Zhao").size(), 2u);
  EXPECT_EQ(rota_.HistoryOf("Zhao").size(), 1u);
  EXPECT_EQ(rota_.ExceptionsOf("Li", Jan(1), Jan(1)).at(0).Partner, "Zhao");
  EXPECT_EQ(Duty("Zhao", Jan(1)) + Duty("Zhao", Jan(12)) + Duty("Zhao", Jan(19)), before);

  ASSERT_TRUE(rota_.DeleteUser(zhang.Slot, error)) << error.Text();
  EXPECT_FALSE(schedule_.FindUser("Zhao"));
  EXPECT_EQ(IdsOf("Li"), std::vector<std::int32_t>{lis});
  EXPECT_TRUE(rota_.History().empty());
}

// --- Changes of scheme keep the past ----------------------------------------------

TEST_F(RotaRecords, AChangeOfSchemeKeepsThePastAndAnEarlierOneSupersedesIt) {
  auto days = [&](int from, int to) {
    std::string text;
    for (int d = from; d <= to; ++d) text += Duty("Zhang", Jan(d)) + " ";
    return text;
  };
  const std::string untilNinth = days(1, 9), untilNineteenth = days(1, 19);
  TRotaError error;
  ASSERT_TRUE(rota_.ChangeScheme("Zhang", Jan(20), 2, 0, error)) << error.Text();
  EXPECT_EQ(days(1, 19), untilNineteenth);
  EXPECT_EQ(days(20, 23), "夜班 休息 夜班 休息 ");
  // What a program that knows only the three files sees: the new scheme.
  TShiftUser user;
  ASSERT_TRUE(LoadShiftUser(user, schedule_, "Zhang"));
  std::string name;
  ASSERT_TRUE(GetDutyName(user, Jan(21), name));
  EXPECT_EQ(Utf8(name), "休息");

  ASSERT_TRUE(rota_.ChangeScheme("Zhang", Jan(10), 2, 1, error)) << error.Text();
  EXPECT_EQ(days(1, 9), untilNinth);
  EXPECT_EQ(days(10, 13), "休息 夜班 休息 夜班 ");
  EXPECT_EQ(days(20, 21), "休息 夜班 ");
  ASSERT_EQ(rota_.HistoryOf("Zhang").size(), 1u);

  ASSERT_TRUE(rota_.ChangeScheme("Zhang", Jan(12), 1, 2, error)) << error.Text();
  EXPECT_EQ(days(9, 13), Duty("Zhang", Jan(9)) + " 休息 夜班 休息 白班 ");
  EXPECT_EQ(rota_.HistoryOf("Zhang").size(), 2u);
}

TEST_F(RotaRecords, AChangeOfSchemeIsRefusedBeforeAnythingIsWritten) {
  const auto before = ScheduleBytes();
  TRotaError error;
  EXPECT_FALSE(rota_.ChangeScheme("Zhang", Jan(5), 7, 0, error));
  EXPECT_EQ(error.Field, TRotaField::Scheme);
  EXPECT_FALSE(rota_.ChangeScheme("Zhang", Jan(5), 2, 2, error));
  EXPECT_EQ(error.Fault, TRotaFault::BadPlace);
  EXPECT_FALSE(rota_.ChangeScheme("Nobody", Jan(5), 2, 0, error));
  EXPECT_EQ(error.Fault, TRotaFault::UnknownUser);
  EXPECT_FALSE(rota_.ChangeScheme("Zhang", schedtest::Day(kLastRotaYear + 1, 1, 1), 2, 0, error));
  EXPECT_EQ(error.Fault, TRotaFault::BadDate);
  EXPECT_EQ(ScheduleBytes(), before);
  EXPECT_TRUE(rota_.History().empty());
}

}  // namespace
}  // namespace kadrel
