// The records layer: the rules every save keeps, for both write policies.
#include "schedule/uScheduleRecords.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "platform/uGbk.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using schedtest::Bytes;
using schedtest::PutScheme;
using schedtest::PutUser;
using schedtest::ReadFileBytes;
using schedtest::TFailingOps;

class ScheduleRecords : public schedtest::TScheduleFixture {
 protected:
  std::int32_t Duty(const std::string& name) {
    TDutyKindRecord kind{0, name, ""};
    TScheduleError error;
    EXPECT_TRUE(records_.SaveDutyKind(kind, error)) << error.Reason;
    return kind.ID;
  }
  std::int32_t Scheme(const std::string& name, const std::vector<std::int32_t>& cycle) {
    TSchemeRecord scheme{0, name, cycle};
    TScheduleError error;
    EXPECT_TRUE(records_.SaveScheme(scheme, error)) << error.Reason;
    return scheme.ID;
  }
  bool AddScheme(const std::string& name, const std::vector<std::int32_t>& cycle, TScheduleError& error) {
    TSchemeRecord scheme{0, name, cycle};
    return records_.SaveScheme(scheme, error);
  }
  bool AddUser(const std::string& name, std::int32_t shiftId, TDateTime start, std::int32_t firstId,
               TScheduleError& error, TScheduleRecords* records = nullptr) {
    TUserRecord user{0, name, shiftId, start, firstId};
    return (records ? *records : records_).SaveUser(user, error);
  }
  std::vector<std::int32_t> LiveIds() {
    std::vector<std::int32_t> ids;
    for (const TDutyKindRecord& kind : records_.DutyKinds()) ids.push_back(kind.ID);
    return ids;
  }
  // Every file's bytes, to prove a refused change wrote nothing.
  std::vector<Bytes> Snapshot() const {
    std::vector<Bytes> all;
    for (TScheduleFile f : kScheduleFiles) all.push_back(ReadFileBytes(dir_.File(f)));
    return all;
  }

  TScheduleRecords records_{tables_, TWritePolicy::Trimmed};
  TScheduleRecords dialog_{tables_, TWritePolicy::AsTyped};
};

TEST_F(ScheduleRecords, IdentifiersComeFromTheAppendedCountAndAreNeverReused) {
  EXPECT_EQ(Duty("A"), 1);
  EXPECT_EQ(Duty("B"), 2);
  EXPECT_EQ(Duty("C"), 3);
  TScheduleError error;
  ASSERT_TRUE(records_.DeleteDutyKind(records_.FindDutyKindNamed("b")->ID, error)) << error.Reason;
  EXPECT_EQ(tables_.Work.RecordCount(), 2);  // packed
  EXPECT_EQ(Duty("D"), 4);
  Reopen();
  EXPECT_EQ(LiveIds(), (std::vector<std::int32_t>{1, 3, 4}));
  EXPECT_EQ(tables_.Work.AppendedCount(), 4);
}

TEST_F(ScheduleRecords, WorkedExampleUserSlot) {
  Duty("A");
  Duty("B");
  Scheme("X", {1});
  ASSERT_EQ(Scheme("Y", {1, 2}), 2);
  TScheduleError error;
  ASSERT_TRUE(AddUser("Li", 2, 37627.0, 1, error)) << error.Reason;
  Bytes file = ReadFileBytes(dir_.File(TScheduleFile::User));
  ASSERT_EQ(file.size(), 192u + 31u);
  Bytes slot(file.begin() + 192, file.end());
  const Bytes head = {0x20, 0x01, 0x00, 0x00, 0x00, 0x4C, 0x69, 0x00};
  const Bytes tail = {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x60, 0x5F,
                      0xE2, 0x40, 0x01, 0x00, 0x00, 0x00};
  EXPECT_EQ(Bytes(slot.begin(), slot.begin() + 8), head);
  EXPECT_EQ(Bytes(slot.begin() + 15, slot.end()), tail);  // bytes 8-14 are not significant
}

TEST_F(ScheduleRecords, DeletedDutyKindDropsOutOfEveryCycle) {
  Duty("A");
  Duty("B");
  Duty("C");
  PutScheme(tables_.Shift, 1, 4, "S", "3#1#1#2#");
  TScheduleError error;
  ASSERT_TRUE(records_.DeleteDutyKind(3, error));
  ASSERT_TRUE(LocateLiveInteger(tables_.Shift, kShiftID, 1));
  EXPECT_EQ(tables_.Shift.FieldByIndex(kShiftWorkList).AsString(), "3#1#1#2#");  // the scheme is untouched
  EXPECT_EQ(records_.StoredCycle(1)->Count, 4);
  std::vector<std::int32_t> ids;
  for (const auto& e : records_.ResolveCycle(records_.FindScheme(1)->Cycle, 10)) ids.push_back(e.ID);
  EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 1, 2}));
}

TEST_F(ScheduleRecords, ResolveStopsAtTheLimitAndSkipsWhatIsNotThere) {
  Duty("A");
  Duty("B");
  auto cycle = records_.ResolveCycle(WorkListIds("1#x#9#2#1#2#"), 3);
  ASSERT_EQ(cycle.size(), 3u);
  EXPECT_EQ(cycle[0].Name, "A");
  EXPECT_EQ(cycle[1].Name, "B");
  EXPECT_EQ(cycle[2].Name, "A");
  EXPECT_TRUE(records_.ResolveCycle({1, 2}, 0).empty());
}

TEST_F(ScheduleRecords, DeletionPacksDutyKindsAndUsersButNotSchemes) {
  Duty("A");
  Scheme("S", {1});
  Scheme("T", {1});
  TScheduleError error;
  ASSERT_TRUE(records_.DeleteScheme(1, error)) << error.Reason;
  EXPECT_EQ(tables_.Shift.RecordCount(), 2);
  EXPECT_EQ(tables_.Shift.DeletedCount(), 1);
  // Users of the deleted scheme still find it until its slot is reused.
  EXPECT_TRUE(records_.FindScheme(1));
  EXPECT_FALSE(LocateLiveInteger(tables_.Shift, kShiftID, 1));
  EXPECT_FALSE(records_.DeleteScheme(1, error));
  EXPECT_EQ(error.Fault, TEditFault::NotFound);

  ASSERT_TRUE(AddUser("P", 2, 40000, 0, error)) << error.Reason;
  ASSERT_TRUE(AddUser("Q", 2, 40000, 0, error)) << error.Reason;
  ASSERT_TRUE(records_.DeleteUser(records_.FindUser("p")->Slot, error)) << error.Reason;
  EXPECT_EQ(tables_.User.RecordCount(), 1);
  EXPECT_EQ(tables_.User.DeletedCount(), 0);
  EXPECT_FALSE(records_.FindUser("P"));
  EXPECT_FALSE(records_.DeleteUser(2, error));
  EXPECT_EQ(error.Fault, TEditFault::NotFound);
}

TEST_F(ScheduleRecords, LookupsSkipSlotsLeftDeletedByAFailedPack) {
  PutUser(tables_.User, "Ann", 0, 40000, 0);
  PutUser(tables_.User, "ann", 0, 40001, 0);
  ASSERT_TRUE(tables_.User.LocateText("Name", "ANN"));
  ASSERT_TRUE(tables_.User.Delete());  // as if the Pack after it had failed
  ASSERT_TRUE(LocateLiveText(tables_.User, kUserName, "ANN"));
  EXPECT_EQ(tables_.User.CurrentSlot(), 2);
  ASSERT_TRUE(LocateLiveInteger(tables_.User, kUserShiftID, 0));
  EXPECT_EQ(tables_.User.CurrentSlot(), 2);
  EXPECT_FALSE(LocateLiveInteger(tables_.User, kUserShiftID, 1));
  TScheduleError error;
  ASSERT_EQ(records_.FindUser("Ann")->Slot, 2);
  ASSERT_TRUE(records_.DeleteUser(2, error)) << error.Reason;
  EXPECT_EQ(tables_.User.RecordCount(), 0);
}

TEST_F(ScheduleRecords, ADutyKindWhosePackFailedIsGoneAllTheSame) {
  Duty("A");
  Duty("B");
  TFailingOps ops;
  ops.FailTruncates = true;  // only the Pack cuts the file
  tables_.Work.SetFileOps(&ops);
  TScheduleError error;
  EXPECT_FALSE(records_.DeleteDutyKind(2, error));
  EXPECT_EQ(error.Fault, TEditFault::PackFailed);
  EXPECT_EQ(error.File, "workdat.kd2");
  tables_.Work.SetFileOps(nullptr);
  EXPECT_EQ(tables_.Work.DeletedCount(), 1);
  EXPECT_TRUE(records_.ResolveCycle({2}, 5).empty());
  EXPECT_FALSE(AddScheme("S", {2}, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
  EXPECT_FALSE(records_.FindDutyKindNamed("B"));
  EXPECT_FALSE(records_.DeleteDutyKind(2, error));
  EXPECT_EQ(error.Fault, TEditFault::NotFound);
  EXPECT_EQ(Duty("C"), 3);
}

TEST_F(ScheduleRecords, NamesAreCheckedBeforeAnythingIsWritten) {
  static const std::string four = GbkLiteral("一二三四");
  static const std::string five = GbkLiteral("一二三四五");
  Duty("A");
  struct TCase {
    const char* Label;
    std::string Name;
    TEditFault Fault;
  };
  const TCase cases[] = {
      {"blank", "  \t ", TEditFault::EmptyName},
      {"five Chinese characters", five, TEditFault::TooLong},
      {"ten ASCII letters", "abcdefghij", TEditFault::TooLong},
      {"lone lead byte", "\x81", TEditFault::BadText},
      {"tab inside", "a\tb", TEditFault::BadText},
      {"zero byte inside", std::string("a\0b", 3), TEditFault::BadText},
  };
  auto before = Snapshot();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    TDutyKindRecord kind{0, c.Name, ""};
    TScheduleError error;
    EXPECT_FALSE(records_.SaveDutyKind(kind, error));
    EXPECT_EQ(error.Fault, c.Fault);
    EXPECT_FALSE(error.Reason.empty());
    EXPECT_EQ(kind.ID, 0);
    EXPECT_FALSE(AddScheme(c.Name, {1}, error));
    EXPECT_EQ(error.Fault, c.Fault);
    EXPECT_FALSE(AddUser(c.Name, 0, 40000, 0, error));
    EXPECT_EQ(error.Fault, c.Fault);
  }
  EXPECT_EQ(Snapshot(), before);
  // The widest names that fit: four Chinese characters and one letter, or nine letters.
  EXPECT_EQ(Duty(four + "a"), 2);
  EXPECT_EQ(Duty("abcdefghi"), 3);
}

TEST_F(ScheduleRecords, DescriptionsHoldFortyNineBytesAndLineBreaks) {
  TScheduleError error;
  TDutyKindRecord tooLong{0, "A", std::string(50, 'x')};
  EXPECT_FALSE(records_.SaveDutyKind(tooLong, error));
  EXPECT_EQ(error.Fault, TEditFault::TooLong);
  EXPECT_EQ(tables_.Work.AppendedCount(), 0);
  TDutyKindRecord a{0, "A", "8:00\r\n20:00"}, b{0, "B", std::string(49, 'x')};
  ASSERT_TRUE(records_.SaveDutyKind(a, error)) << error.Reason;
  ASSERT_TRUE(records_.SaveDutyKind(b, error)) << error.Reason;
  EXPECT_EQ(records_.FindDutyKind(1)->Hint, "8:00\r\n20:00");
}

TEST_F(ScheduleRecords, NamesAreStoredTrimmed) {
  TScheduleError error;
  TDutyKindRecord kind{0, "  Day ", "  note "};
  ASSERT_TRUE(records_.SaveDutyKind(kind, error));
  EXPECT_EQ(records_.FindDutyKind(kind.ID)->Name, "Day");
  EXPECT_EQ(records_.FindDutyKind(kind.ID)->Hint, "note");
  ASSERT_TRUE(AddUser(" Li  ", 0, 40000, 0, error));
  EXPECT_EQ(records_.Users().at(0).Name, "Li");
}

TEST_F(ScheduleRecords, UserNamesAreUniqueIgnoringTheCaseOfAToZ) {
  TScheduleError error;
  ASSERT_TRUE(AddUser("Li", 0, 40000, 0, error));
  auto before = Snapshot();
  for (const char* other : {"LI", "li", " lI "}) {
    SCOPED_TRACE(other);
    EXPECT_FALSE(AddUser(other, 0, 40000, 0, error));
    EXPECT_EQ(error.Fault, TEditFault::Duplicate);
  }
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(AddUser("Lin", 0, 40000, 0, error));
  // A user is no duplicate of itself, nor of the next in the file.
  TUserRecord li = *records_.FindUser("Li");
  li.Name = "LI";
  EXPECT_TRUE(records_.SaveUser(li, error)) << error.Reason;
}

TEST_F(ScheduleRecords, SchemeCyclesMustNameDutyKindsAndFitTheirField) {
  Duty("A");
  Duty("B");
  auto before = Snapshot();
  TScheduleError error;
  EXPECT_FALSE(AddScheme("S", {1, 3}, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
  EXPECT_FALSE(AddScheme("S", std::vector<std::int32_t>(100, 1), error));
  EXPECT_EQ(error.Fault, TEditFault::TooLong);  // 200 bytes
  EXPECT_EQ(Snapshot(), before);

  const std::int32_t long99 = Scheme("S", std::vector<std::int32_t>(99, 2));
  EXPECT_EQ(records_.StoredCycle(long99)->Count, 99);
  EXPECT_EQ(tables_.Shift.FieldByIndex(kShiftWorkList).AsString().size(), 198u);
  const std::int32_t empty = Scheme("Empty", {});
  EXPECT_EQ(records_.StoredCycle(empty)->Count, 0);
  EXPECT_EQ(tables_.Shift.FieldByIndex(kShiftWorkList).AsString(), "");
}

TEST_F(ScheduleRecords, AUserWithoutSchemeIsOnlyPossibleWhileThereIsNone) {
  TScheduleError error;
  ASSERT_TRUE(AddUser("Early", 0, 40000.5, 0, error)) << error.Reason;
  EXPECT_EQ(records_.FindUser("Early")->ShiftID, 0);
  EXPECT_EQ(records_.FindUser("Early")->Start, 40000.5);
  EXPECT_FALSE(AddUser("Odd", 0, 40000, 1, error));
  EXPECT_EQ(error.Fault, TEditFault::BadPlace);

  Duty("A");
  Scheme("S", {1});
  EXPECT_FALSE(AddUser("Late", 0, 40000, 0, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
  EXPECT_FALSE(AddUser("Late", 7, 40000, 0, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
}

TEST_F(ScheduleRecords, FirstPlaceCountsOnlyResolvableEntries) {
  Duty("A");
  Duty("B");
  PutScheme(tables_.Shift, 1, 3, "S", "1#9#2#");  // kind 9 does not exist: two places
  PutScheme(tables_.Shift, 2, 0, "None", "");
  auto before = Snapshot();
  TScheduleError error;
  for (std::int32_t bad : {2, 3, -1}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(AddUser("U", 1, 40000, bad, error));
    EXPECT_EQ(error.Fault, TEditFault::BadPlace);
  }
  EXPECT_FALSE(AddUser("U", 2, 40000, 1, error));
  EXPECT_EQ(error.Fault, TEditFault::BadPlace);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(AddUser("U", 1, 40000, 1, error)) << error.Reason;
  EXPECT_TRUE(AddUser("V", 2, 40000, 0, error)) << error.Reason;
}

TEST_F(ScheduleRecords, DeletedSchemesCannotBeChosen) {
  Duty("A");
  Scheme("S", {1});
  Scheme("T", {1});
  TScheduleError error;
  ASSERT_TRUE(records_.DeleteScheme(1, error));
  EXPECT_FALSE(AddUser("U", 1, 40000, 0, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
}

TEST_F(ScheduleRecords, StartMustBeADate) {
  TScheduleError error;
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), 1e300, -1e9}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(AddUser("U", 0, bad, 0, error));
    EXPECT_EQ(error.Fault, TEditFault::BadDate);
    EXPECT_FALSE(AddUser("U", 0, bad, 0, error, &dialog_));
    EXPECT_EQ(error.Fault, TEditFault::BadDate);
  }
  EXPECT_EQ(tables_.User.AppendedCount(), 0);
}

// Both policies keep one reference and place rule; the dialog's scheme
// editor may only keep a duty kind deleted after it was listed.
TEST_F(ScheduleRecords, ThePoliciesShareTheReferenceAndPlaceRules) {
  Duty("A");
  Duty("B");
  Scheme("S", {1, 2});
  Scheme("Gone", {1});
  TScheduleError error;
  ASSERT_TRUE(records_.DeleteScheme(2, error));
  ASSERT_TRUE(records_.DeleteDutyKind(2, error));
  struct TCase {
    std::int32_t ShiftID, FirstID;
    TEditFault Fault;
  };
  const TCase cases[] = {{-1, -1, TEditFault::None},        {-1, 0, TEditFault::BadPlace},
                         {1, 0, TEditFault::None},          {1, 1, TEditFault::BadPlace},
                         {2, 0, TEditFault::BadReference},  {0, 0, TEditFault::BadReference}};
  int n = 0;
  for (TScheduleRecords* records : {&records_, &dialog_}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::to_string(n));
      AddUser(std::to_string(n++) + "u", c.ShiftID, 40000, c.FirstID, error, records);
      EXPECT_EQ(error.Fault, c.Fault);
    }
    TSchemeRecord never{0, "N", {1, 3}};
    EXPECT_FALSE(records->SaveScheme(never, error));
    EXPECT_EQ(error.Fault, TEditFault::BadReference);
  }
  EXPECT_FALSE(AddScheme("T", {1, 2}, error));
  TSchemeRecord built{0, "T", {1, 2}};
  ASSERT_TRUE(dialog_.SaveScheme(built, error)) << error.Reason;
  EXPECT_EQ(dialog_.StoredCycle(built.ID)->Count, 2);
}

// A change checks only what it changes: a user whose stored place lies beyond
// its cycle keeps it through a rename, under either policy.
TEST_F(ScheduleRecords, AChangeKeepsTheFieldsItDoesNotChange) {
  Duty("A");
  Scheme("S", {1});
  PutUser(tables_.User, "Ann", 1, std::nan(""), 5);
  const Bytes before = ReadFileBytes(dir_.File(TScheduleFile::User));
  TScheduleError error;
  TUserRecord ann = *records_.FindUser("Ann");
  ann.Name = "Anna";
  ASSERT_TRUE(records_.SaveUser(ann, error)) << error.Reason;
  ann.Name = "Ann";
  ASSERT_TRUE(records_.SaveUser(ann, error)) << error.Reason;
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::User)), before);
  ann.FirstID = 4;  // a new place is checked, the kept start is not
  EXPECT_FALSE(records_.SaveUser(ann, error));
  EXPECT_EQ(error.Fault, TEditFault::BadPlace);
}

TEST(ScheduleNames, BlanksKeptAsTypedMustFitTheFieldToo) {
  TScheduleError error;
  EXPECT_TRUE(CheckName(TWritePolicy::AsTyped, TScheduleFile::User, " abcdefg ", error));
  EXPECT_FALSE(CheckName(TWritePolicy::AsTyped, TScheduleFile::User, "  abcdefg ", error));
  EXPECT_EQ(error.Fault, TEditFault::TooLong);
  EXPECT_TRUE(CheckName(TWritePolicy::Trimmed, TScheduleFile::User, "  abcdefg ", error));
  EXPECT_FALSE(CheckName(TWritePolicy::AsTyped, TScheduleFile::User, GbkLiteral("张三李四王"), error));
  EXPECT_EQ(error.Fault, TEditFault::TooLong);
  // Control bytes are refused even at the ends, where trimming would drop them.
  EXPECT_FALSE(CheckName(TWritePolicy::AsTyped, TScheduleFile::User, "ann\t", error));
  EXPECT_EQ(error.Fault, TEditFault::BadText);
  EXPECT_EQ(error.File, "userdat.kd2");
  // Only a scheme's name typed in the dialog may be empty.
  EXPECT_TRUE(CheckName(TWritePolicy::AsTyped, TScheduleFile::Shift, "  ", error));
  for (TScheduleFile file : {TScheduleFile::User, TScheduleFile::Work}) {
    EXPECT_FALSE(CheckName(TWritePolicy::AsTyped, file, "  ", error));
    EXPECT_EQ(error.Fault, TEditFault::EmptyName);
  }
  EXPECT_FALSE(CheckName(TWritePolicy::Trimmed, TScheduleFile::Shift, "  ", error));
}

}  // namespace
}  // namespace kadrel
