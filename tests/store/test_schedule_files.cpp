#include "store/uScheduleFiles.h"

#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "platform/uClock.h"
#include "platform/uFileOps.h"
#include "platform/uGbk.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using schedtest::Bytes;
using schedtest::FixedNow;
using schedtest::PutScheme;
using schedtest::ReadFileBytes;
using schedtest::TScheduleFixture;
using schedtest::TScratchDir;

// --- Bytes of a new file, spelled out independently of the code under test.

void PutI32At(Bytes& b, std::size_t at, std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(u >> (8 * i));
}
Bytes NewFile(double created, std::int32_t dataStart,
              std::initializer_list<std::tuple<std::string, std::int16_t, std::int32_t>> fields) {
  Bytes b(static_cast<std::size_t>(dataStart), 0);
  b[0] = 0x04;
  b[1] = 0x31;
  b[2] = 0x2E;
  b[3] = 0x31;
  std::memcpy(&b[4], &created, 8);
  PutI32At(b, 20, dataStart);  // slot, deleted, head and appended counts stay 0
  std::size_t at = 64;
  for (const auto& [name, type, width] : fields) {
    b[at] = static_cast<unsigned char>(name.size());
    std::memcpy(&b[at + 1], name.data(), name.size());
    b[at + 10] = static_cast<unsigned char>(type);
    PutI32At(b, at + 12, width);
    at += 32;
  }
  return b;
}

TEST(ScheduleFilesCreate, NewFilesHaveTheirSchemasByteForByte) {
  TClockOverride clock(FixedNow);
  TScratchDir dir;
  {
    TScheduleTables tables;
    std::string error;
    ASSERT_TRUE(OpenScheduleTables(tables, dir.Path(), TScheduleAccess::Write, error)) << error;
    for (TScheduleFile f : kScheduleFiles) {
      EXPECT_EQ(tables.Table(f).RecordCount(), 0);
      EXPECT_TRUE(tables.Table(f).Eof());
    }
    ASSERT_TRUE(CloseScheduleTables(tables, error)) << error;
  }
  const double today = std::floor(FixedNow());
  Bytes shift = NewFile(today, 192, {{"ID", 1, 4}, {"Count", 1, 4}, {"Name", 3, 10}, {"worklist", 3, 200}});
  Bytes work = NewFile(today, 160, {{"ID", 1, 4}, {"Name", 3, 10}, {"Hint", 3, 50}});
  Bytes user = NewFile(today, 192, {{"Name", 3, 10}, {"ShiftID", 1, 4}, {"Start", 4, 8}, {"FirstID", 1, 4}});
  ASSERT_EQ(shift.size(), 192u);
  ASSERT_EQ(work.size(), 160u);
  ASSERT_EQ(user.size(), 192u);
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::Shift)), shift);
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::Work)), work);
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::User)), user);
}

TEST(ScheduleFilesCreate, AnExistingFileIsOpenedNotRecreated) {
  TScratchDir dir;
  std::int32_t id = 0;
  TEditError edit;
  {
    TScheduleTables tables;
    std::string error;
    ASSERT_TRUE(OpenScheduleTables(tables, dir.Path(), TScheduleAccess::Write, error)) << error;
    ASSERT_TRUE(AddDutyKind(tables.Work, "A", "", id, edit)) << edit.Reason;
    ASSERT_TRUE(CloseScheduleTables(tables, error));
  }
  TTableStream work;
  std::string error;
  ASSERT_TRUE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::Work), error)) << error;
  EXPECT_EQ(work.RecordCount(), 1);
  EXPECT_EQ(work.FieldByName("Name").AsString(), "A");
  work.Close();
}

TEST(ScheduleFilesCreate, AFileHeldByAnotherWriterIsNeitherOpenedNorTruncated) {
  TScratchDir dir;
  TScheduleTables first;
  std::string error;
  ASSERT_TRUE(OpenScheduleTables(first, dir.Path(), TScheduleAccess::Write, error)) << error;
  std::int32_t id = 0;
  TEditError edit;
  ASSERT_TRUE(AddDutyKind(first.Work, "A", "", id, edit));
  Bytes before = ReadFileBytes(dir.File(TScheduleFile::Work));

  TScheduleTables second;
  EXPECT_FALSE(OpenScheduleTables(second, dir.Path(), TScheduleAccess::Write, error));
  EXPECT_NE(error.find("shiftdat.kd2"), std::string::npos) << error;
  TTableStream work;
  EXPECT_FALSE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::Work), error));
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::Work)), before);
  CloseScheduleTables(first, error);
}

// Fails every write, or every rename, through the table's file seam.
class TFailingOps : public TFileOps {
 public:
  bool FailWrites = false;
  bool FailRenames = false;
  bool FailTruncates = false;
  int Truncate(int fd, off_t length) override {
    if (FailTruncates) {
      errno = EIO;
      return -1;
    }
    return TFileOps::Truncate(fd, length);
  }
  ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
    if (FailWrites) {
      errno = ENOSPC;
      return -1;
    }
    return TFileOps::Write(fd, data, size, offset);
  }
  int Rename(const char* from, const char* to) override {
    if (FailRenames) {
      errno = EIO;
      return -1;
    }
    return TFileOps::Rename(from, to);
  }
};

TEST(ScheduleFilesCreate, ACreationThatFailsLeavesNoFileBehind) {
  TScratchDir dir;
  TFailingOps ops;
  ops.FailWrites = true;
  TTableStream work;
  work.SetFileOps(&ops);
  std::string error;
  EXPECT_FALSE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::Work), error));
  EXPECT_EQ(error.rfind("workdat.kd2: cannot create", 0), 0u) << error;
  EXPECT_TRUE(dir.Entries().empty());
  // A torn file would have been refused as damaged on every later start.
  ops.FailWrites = false;
  EXPECT_TRUE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::Work), error)) << error;
  work.Close();
}

TEST(ScheduleFilesOpen, ReadingNeverCreatesAFile) {
  TScratchDir dir;
  TScheduleTables tables;
  std::string error;
  EXPECT_FALSE(OpenScheduleTables(tables, dir.Path(), TScheduleAccess::Read, error));
  EXPECT_EQ(error, "shiftdat.kd2: no such file");
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(ScheduleFilesOpen, AFileWithAnotherSchemaIsRefused) {
  TScratchDir dir;
  std::string error;
  {
    // A duty-kinds file under the users file's name.
    TTableStream work;
    ASSERT_TRUE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::User), error));
    work.Close();
  }
  TTableStream user;
  EXPECT_FALSE(OpenScheduleFile(user, TScheduleFile::User, dir.File(TScheduleFile::User),
                                TTableStream::kModeReadShared, error));
  EXPECT_EQ(error, "userdat.kd2: its fields are not those of this file");
}

TEST(ScheduleFilesOpen, ADamagedFileGivesTheTableReason) {
  TScratchDir dir;
  std::string error;
  {
    TTableStream user;
    ASSERT_TRUE(OpenOrCreateScheduleFile(user, TScheduleFile::User, dir.File(TScheduleFile::User), error));
    user.Close();
  }
  Bytes bytes = ReadFileBytes(dir.File(TScheduleFile::User));
  bytes.resize(100);
  schedtest::WriteFileBytes(dir.File(TScheduleFile::User), bytes);
  TTableStream user;
  EXPECT_FALSE(OpenOrCreateScheduleFile(user, TScheduleFile::User, dir.File(TScheduleFile::User), error));
  EXPECT_EQ(error.rfind("userdat.kd2: ", 0), 0u) << error;
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::User)).size(), 100u);  // left for the user to rescue
}

// --- Cycles

struct TCycleCase {
  const char* Label;
  std::string Text;
  std::vector<std::optional<std::int32_t>> Tokens;
};
void PrintTo(const TCycleCase& c, std::ostream* os) { *os << c.Label; }

class ReadWorkListCase : public ::testing::TestWithParam<TCycleCase> {};

TEST_P(ReadWorkListCase, Tokens) { EXPECT_EQ(ReadWorkList(GetParam().Text), GetParam().Tokens); }

constexpr std::optional<std::int32_t> kNotNumber = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Cycles, ReadWorkListCase,
    ::testing::Values(
        TCycleCase{"Plain", "1#1#2#3#", {1, 1, 2, 3}}, TCycleCase{"Empty", "", {}},
        TCycleCase{"TextAfterLastHashIgnored", "1#2#3", {1, 2}}, TCycleCase{"NoHashAtAll", "12", {}},
        TCycleCase{"EmptyTokens", "1##2#", {1, kNotNumber, 2}},
        TCycleCase{"Letters", "12#x#1a#0x1F#", {12, kNotNumber, kNotNumber, kNotNumber}},
        TCycleCase{"BlanksAround", " 4 #\t5#", {4, 5}}, TCycleCase{"BlankInside", "1 2#", {kNotNumber}},
        TCycleCase{"Signs", "-1#+5#+-5#-#", {-1, 5, kNotNumber, kNotNumber}},
        TCycleCase{"Int32Edges", "2147483647#2147483648#-2147483648#",
                   {std::numeric_limits<std::int32_t>::max(), kNotNumber, std::numeric_limits<std::int32_t>::min()}},
        TCycleCase{"LongTokenIsNotCutIntoANumber", "123456789012#", {kNotNumber}},
        TCycleCase{"LeadingZeros", "007#", {7}}),
    [](const auto& info) { return std::string(info.param.Label); });

TEST(WorkList, WriterProducesWhatTheReaderReads) {
  EXPECT_EQ(WriteWorkList({1, 1, 2, 3}), "1#1#2#3#");
  EXPECT_EQ(WriteWorkList({}), "");
  EXPECT_EQ(WorkListIds(WriteWorkList({10, 200, 3})), (std::vector<std::int32_t>{10, 200, 3}));
}

// --- Records through the helpers

class ScheduleRecords : public TScheduleFixture {
 protected:
  std::int32_t Duty(const std::string& name) {
    std::int32_t id = 0;
    TEditError error;
    EXPECT_TRUE(AddDutyKind(tables_.Work, name, "", id, error)) << error.Reason;
    return id;
  }
  std::int32_t Scheme(const std::string& name, const std::vector<std::int32_t>& cycle) {
    std::int32_t id = 0;
    TEditError error;
    EXPECT_TRUE(AddScheme(tables_.Shift, tables_.Work, name, cycle, id, error)) << error.Reason;
    return id;
  }
  std::vector<std::int32_t> LiveIds(TTableStream& table) {
    std::vector<std::int32_t> ids;
    if (table.RecordCount() == 0) return ids;
    for (table.First(); !table.Eof(); table.Next()) {
      if (!table.IsDeleted()) ids.push_back(table.FieldByName("ID").AsInteger());
    }
    return ids;
  }
  // Every file's bytes, to prove a refused change wrote nothing.
  std::vector<Bytes> Snapshot() const {
    std::vector<Bytes> all;
    for (TScheduleFile f : kScheduleFiles) all.push_back(ReadFileBytes(dir_.File(f)));
    return all;
  }
};

TEST_F(ScheduleRecords, IdentifiersComeFromTheAppendedCountAndAreNeverReused) {
  EXPECT_EQ(Duty("A"), 1);
  EXPECT_EQ(Duty("B"), 2);
  EXPECT_EQ(Duty("C"), 3);
  TEditError error;
  ASSERT_TRUE(DeleteDutyKind(tables_.Work, "b", error)) << error.Reason;
  EXPECT_EQ(tables_.Work.RecordCount(), 2);  // packed
  EXPECT_EQ(Duty("D"), 4);
  Reopen();
  EXPECT_EQ(LiveIds(tables_.Work), (std::vector<std::int32_t>{1, 3, 4}));
  EXPECT_EQ(tables_.Work.AppendedCount(), 4);
}

TEST_F(ScheduleRecords, WorkedExampleUserSlot) {
  Duty("A");
  Duty("B");
  Scheme("X", {1});
  ASSERT_EQ(Scheme("Y", {1, 2}), 2);
  TEditError error;
  ASSERT_TRUE(AddUser(tables_, "Li", 2, 37627.0, 1, error)) << error.Reason;
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
  TEditError error;
  ASSERT_TRUE(DeleteDutyKind(tables_.Work, "C", error));
  ASSERT_TRUE(LocateLiveInteger(tables_.Shift, "ID", 1));
  EXPECT_EQ(tables_.Shift.FieldByName("worklist").AsString(), "3#1#1#2#");  // the scheme is untouched
  EXPECT_EQ(tables_.Shift.FieldByName("Count").AsInteger(), 4);
  std::vector<std::int32_t> ids;
  for (const auto& e : ResolveWorkList(tables_.Work, "3#1#1#2#", 10)) ids.push_back(e.ID);
  EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 1, 2}));
}

TEST_F(ScheduleRecords, ResolveStopsAtTheLimitAndSkipsWhatIsNotThere) {
  Duty("A");
  Duty("B");
  auto cycle = ResolveWorkList(tables_.Work, "1#x#9#2#1#2#", 3);
  ASSERT_EQ(cycle.size(), 3u);
  EXPECT_EQ(cycle[0].Name, "A");
  EXPECT_EQ(cycle[1].Name, "B");
  EXPECT_EQ(cycle[2].Name, "A");
  EXPECT_TRUE(ResolveWorkList(tables_.Work, "1#2#", 0).empty());
}

TEST_F(ScheduleRecords, DeletionPacksDutyKindsAndUsersButNotSchemes) {
  Duty("A");
  Scheme("S", {1});
  Scheme("T", {1});
  TEditError error;
  ASSERT_TRUE(DeleteScheme(tables_.Shift, 1, error)) << error.Reason;
  EXPECT_EQ(tables_.Shift.RecordCount(), 2);
  EXPECT_EQ(tables_.Shift.DeletedCount(), 1);
  // Users of the deleted scheme still find it until its slot is reused.
  EXPECT_TRUE(tables_.Shift.LocateInteger("ID", 1));
  EXPECT_FALSE(LocateLiveInteger(tables_.Shift, "ID", 1));
  EXPECT_FALSE(DeleteScheme(tables_.Shift, 1, error));
  EXPECT_EQ(error.Fault, TEditFault::NotFound);

  ASSERT_TRUE(AddUser(tables_, "P", 2, 40000, 0, error)) << error.Reason;
  ASSERT_TRUE(AddUser(tables_, "Q", 2, 40000, 0, error)) << error.Reason;
  ASSERT_TRUE(DeleteUser(tables_.User, "p", error)) << error.Reason;
  EXPECT_EQ(tables_.User.RecordCount(), 1);
  EXPECT_EQ(tables_.User.DeletedCount(), 0);
  EXPECT_FALSE(DeleteUser(tables_.User, "P", error));
  EXPECT_EQ(error.Fault, TEditFault::NotFound);
}

TEST_F(ScheduleRecords, LookupsSkipSlotsLeftDeletedByAFailedPack) {
  schedtest::PutUser(tables_.User, "Ann", 0, 40000, 0);
  schedtest::PutUser(tables_.User, "ann", 0, 40001, 0);
  ASSERT_TRUE(tables_.User.LocateText("Name", "ANN"));
  ASSERT_TRUE(tables_.User.Delete());  // as if the Pack after it had failed
  ASSERT_TRUE(LocateLiveText(tables_.User, "Name", "ANN"));
  EXPECT_EQ(tables_.User.CurrentSlot(), 2);
  ASSERT_TRUE(LocateLiveInteger(tables_.User, "ShiftID", 0));
  EXPECT_EQ(tables_.User.CurrentSlot(), 2);
  EXPECT_FALSE(LocateLiveInteger(tables_.User, "ShiftID", 1));
  TEditError error;
  ASSERT_TRUE(DeleteUser(tables_.User, "Ann", error)) << error.Reason;
  EXPECT_EQ(tables_.User.RecordCount(), 0);
}

TEST_F(ScheduleRecords, ADutyKindWhosePackFailedIsGoneAllTheSame) {
  Duty("A");
  Duty("B");
  TFailingOps ops;
  ops.FailTruncates = true;  // only the Pack cuts the file
  tables_.Work.SetFileOps(&ops);
  TEditError error;
  EXPECT_FALSE(DeleteDutyKind(tables_.Work, "B", error));
  EXPECT_EQ(error.Fault, TEditFault::PackFailed);
  tables_.Work.SetFileOps(nullptr);
  EXPECT_EQ(tables_.Work.DeletedCount(), 1);
  EXPECT_TRUE(ResolveWorkList(tables_.Work, "2#", 5).empty());
  std::int32_t id = 0;
  EXPECT_FALSE(AddScheme(tables_.Shift, tables_.Work, "S", {2}, id, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
  EXPECT_FALSE(DeleteDutyKind(tables_.Work, "B", error));
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
    std::int32_t id = -7;
    TEditError error;
    EXPECT_FALSE(AddDutyKind(tables_.Work, c.Name, "", id, error));
    EXPECT_EQ(error.Fault, c.Fault);
    EXPECT_FALSE(error.Reason.empty());
    EXPECT_EQ(id, -7);
    EXPECT_FALSE(AddScheme(tables_.Shift, tables_.Work, c.Name, {1}, id, error));
    EXPECT_EQ(error.Fault, c.Fault);
    EXPECT_FALSE(AddUser(tables_, c.Name, 0, 40000, 0, error));
    EXPECT_EQ(error.Fault, c.Fault);
  }
  EXPECT_EQ(Snapshot(), before);
  // The widest names that fit: four Chinese characters and one letter, or nine letters.
  EXPECT_EQ(Duty(four + "a"), 2);
  EXPECT_EQ(Duty("abcdefghi"), 3);
}

TEST_F(ScheduleRecords, DescriptionsHoldFortyNineBytesAndLineBreaks) {
  std::int32_t id = 0;
  TEditError error;
  EXPECT_FALSE(AddDutyKind(tables_.Work, "A", std::string(50, 'x'), id, error));
  EXPECT_EQ(error.Fault, TEditFault::TooLong);
  EXPECT_EQ(tables_.Work.AppendedCount(), 0);
  ASSERT_TRUE(AddDutyKind(tables_.Work, "A", "8:00\r\n20:00", id, error)) << error.Reason;
  ASSERT_TRUE(AddDutyKind(tables_.Work, "B", std::string(49, 'x'), id, error)) << error.Reason;
  ASSERT_TRUE(LocateLiveInteger(tables_.Work, "ID", 1));
  EXPECT_EQ(tables_.Work.FieldByName("Hint").AsString(), "8:00\r\n20:00");
}

TEST_F(ScheduleRecords, NamesAreStoredTrimmed) {
  std::int32_t id = 0;
  TEditError error;
  ASSERT_TRUE(AddDutyKind(tables_.Work, "  Day ", "  note ", id, error));
  EXPECT_EQ(tables_.Work.FieldByName("Name").AsString(), "Day");
  EXPECT_EQ(tables_.Work.FieldByName("Hint").AsString(), "note");
  ASSERT_TRUE(AddUser(tables_, " Li  ", 0, 40000, 0, error));
  EXPECT_EQ(tables_.User.FieldByName("Name").AsString(), "Li");
}

TEST_F(ScheduleRecords, UserNamesAreUniqueIgnoringTheCaseOfAToZ) {
  TEditError error;
  ASSERT_TRUE(AddUser(tables_, "Li", 0, 40000, 0, error));
  auto before = Snapshot();
  for (const char* other : {"LI", "li", " lI "}) {
    SCOPED_TRACE(other);
    EXPECT_FALSE(AddUser(tables_, other, 0, 40000, 0, error));
    EXPECT_EQ(error.Fault, TEditFault::Duplicate);
  }
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(AddUser(tables_, "Lin", 0, 40000, 0, error));
}

TEST_F(ScheduleRecords, SchemeCyclesMustNameDutyKindsAndFitTheirField) {
  Duty("A");
  Duty("B");
  auto before = Snapshot();
  std::int32_t id = 0;
  TEditError error;
  EXPECT_FALSE(AddScheme(tables_.Shift, tables_.Work, "S", {1, 3}, id, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
  EXPECT_FALSE(AddScheme(tables_.Shift, tables_.Work, "S", std::vector<std::int32_t>(100, 1), id, error));
  EXPECT_EQ(error.Fault, TEditFault::TooLong);  // 200 bytes
  EXPECT_EQ(Snapshot(), before);

  ASSERT_TRUE(AddScheme(tables_.Shift, tables_.Work, "S", std::vector<std::int32_t>(99, 2), id, error));
  EXPECT_EQ(tables_.Shift.FieldByName("Count").AsInteger(), 99);
  EXPECT_EQ(tables_.Shift.FieldByName("worklist").AsString().size(), 198u);
  ASSERT_TRUE(AddScheme(tables_.Shift, tables_.Work, "Empty", {}, id, error));
  EXPECT_EQ(tables_.Shift.FieldByName("Count").AsInteger(), 0);
  EXPECT_EQ(tables_.Shift.FieldByName("worklist").AsString(), "");
}

TEST_F(ScheduleRecords, AUserWithoutSchemeIsOnlyPossibleWhileThereIsNone) {
  TEditError error;
  ASSERT_TRUE(AddUser(tables_, "Early", 0, 40000.5, 0, error)) << error.Reason;
  EXPECT_EQ(tables_.User.FieldByName("ShiftID").AsInteger(), 0);
  EXPECT_EQ(tables_.User.FieldByName("Start").AsDateTime(), 40000.5);
  EXPECT_FALSE(AddUser(tables_, "Odd", 0, 40000, 1, error));
  EXPECT_EQ(error.Fault, TEditFault::BadPlace);

  Duty("A");
  Scheme("S", {1});
  EXPECT_FALSE(AddUser(tables_, "Late", 0, 40000, 0, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
  EXPECT_FALSE(AddUser(tables_, "Late", 7, 40000, 0, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
}

TEST_F(ScheduleRecords, FirstPlaceCountsOnlyResolvableEntries) {
  Duty("A");
  Duty("B");
  PutScheme(tables_.Shift, 1, 3, "S", "1#9#2#");  // kind 9 does not exist: two places
  PutScheme(tables_.Shift, 2, 0, "None", "");
  auto before = Snapshot();
  TEditError error;
  for (std::int32_t bad : {2, 3, -1}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(AddUser(tables_, "U", 1, 40000, bad, error));
    EXPECT_EQ(error.Fault, TEditFault::BadPlace);
  }
  EXPECT_FALSE(AddUser(tables_, "U", 2, 40000, 1, error));
  EXPECT_EQ(error.Fault, TEditFault::BadPlace);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(AddUser(tables_, "U", 1, 40000, 1, error)) << error.Reason;
  EXPECT_TRUE(AddUser(tables_, "V", 2, 40000, 0, error)) << error.Reason;
}

TEST_F(ScheduleRecords, DeletedSchemesCannotBeChosen) {
  Duty("A");
  Scheme("S", {1});
  Scheme("T", {1});
  TEditError error;
  ASSERT_TRUE(DeleteScheme(tables_.Shift, 1, error));
  EXPECT_FALSE(AddUser(tables_, "U", 1, 40000, 0, error));
  EXPECT_EQ(error.Fault, TEditFault::BadReference);
}

TEST_F(ScheduleRecords, StartMustBeADate) {
  TEditError error;
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), 1e300, -1e9}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(AddUser(tables_, "U", 0, bad, 0, error));
    EXPECT_EQ(error.Fault, TEditFault::BadDate);
  }
  EXPECT_EQ(tables_.User.AppendedCount(), 0);
}

TEST(SameText, OnlyAToZFoldCase) {
  EXPECT_TRUE(SameTextIgnoringAZ("abc", "ABC"));
  EXPECT_TRUE(SameTextIgnoringAZ("Li Na", "lI nA"));
  EXPECT_FALSE(SameTextIgnoringAZ("ab", "abc"));
  EXPECT_FALSE(SameTextIgnoringAZ("[", "{"));  // 0x5B and 0x7B differ by 0x20 too
  EXPECT_FALSE(SameTextIgnoringAZ("\xC4", "\xE4"));
}

}  // namespace
}  // namespace kadrel
