#include "schedule/uScheduleFiles.h"

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
using schedtest::ReadFileBytes;
using schedtest::TFailingOps;
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
    TScheduleError error;
    ASSERT_TRUE(OpenScheduleTables(tables, dir.Path(), TScheduleAccess::Write, error)) << error.Text();
    for (TScheduleFile f : kScheduleFiles) {
      EXPECT_EQ(tables.Table(f).RecordCount(), 0);
      EXPECT_TRUE(tables.Table(f).Eof());
    }
    ASSERT_TRUE(CloseScheduleTables(tables, error)) << error.Text();
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
  TScheduleError error;
  {
    TScheduleTables tables;
    ASSERT_TRUE(OpenScheduleTables(tables, dir.Path(), TScheduleAccess::Write, error)) << error.Text();
    schedtest::PutDuty(tables.Work, 1, "A");
    ASSERT_TRUE(CloseScheduleTables(tables, error));
  }
  TTableStream work;
  ASSERT_TRUE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::Work), error)) << error.Text();
  EXPECT_EQ(work.RecordCount(), 1);
  EXPECT_EQ(work.FieldByIndex(kWorkName).AsString(), "A");
  work.Close();
}

TEST(ScheduleFilesCreate, AFileHeldByAnotherWriterIsNeitherOpenedNorTruncated) {
  TScratchDir dir;
  TScheduleTables first;
  TScheduleError error;
  ASSERT_TRUE(OpenScheduleTables(first, dir.Path(), TScheduleAccess::Write, error)) << error.Text();
  schedtest::PutDuty(first.Work, 1, "A");
  Bytes before = ReadFileBytes(dir.File(TScheduleFile::Work));

  TScheduleTables second;
  EXPECT_FALSE(OpenScheduleTables(second, dir.Path(), TScheduleAccess::Write, error));
  EXPECT_EQ(error.File, "shiftdat.kd2") << error.Text();
  TTableStream work;
  EXPECT_FALSE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::Work), error));
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::Work)), before);
  CloseScheduleTables(first, error);
}

TEST(ScheduleFilesCreate, ACreationThatFailsLeavesNoFileBehind) {
  TScratchDir dir;
  TFailingOps ops;
  ops.FailWrites = true;
  TTableStream work;
  work.SetFileOps(&ops);
  TScheduleError error;
  EXPECT_FALSE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::Work), error));
  EXPECT_EQ(error.Text().rfind("workdat.kd2: cannot create", 0), 0u) << error.Text();
  EXPECT_EQ(error.Table.Kind, TTableFault::NoSpace);
  EXPECT_EQ(error.Table.Errno, ENOSPC);
  EXPECT_TRUE(dir.Entries().empty());
  // A torn file would have been refused as damaged on every later start.
  ops.FailWrites = false;
  EXPECT_TRUE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::Work), error)) << error.Text();
  work.Close();
}

TEST(ScheduleFilesOpen, ReadingNeverCreatesAFile) {
  TScratchDir dir;
  TScheduleTables tables;
  TScheduleError error;
  EXPECT_FALSE(OpenScheduleTables(tables, dir.Path(), TScheduleAccess::Read, error));
  EXPECT_EQ(error.Text(), "shiftdat.kd2: no such file");
  EXPECT_EQ(error.Table.Errno, ENOENT);
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(ScheduleFilesOpen, AFileWithAnotherSchemaIsRefused) {
  TScratchDir dir;
  TScheduleError error;
  {
    // A duty-kinds file under the users file's name.
    TTableStream work;
    ASSERT_TRUE(OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File(TScheduleFile::User), error));
    work.Close();
  }
  TTableStream user;
  EXPECT_FALSE(OpenScheduleFile(user, TScheduleFile::User, dir.File(TScheduleFile::User),
                                TTableStream::kModeReadShared, error));
  EXPECT_EQ(error.File, "userdat.kd2");
  EXPECT_EQ(error.Reason, "its fields are not those of this file");
  EXPECT_EQ(error.Table.Damage, TDamage::ForeignFields);
}

TEST(ScheduleFilesOpen, ADamagedFileGivesTheTableReason) {
  TScratchDir dir;
  TScheduleError error;
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
  EXPECT_EQ(error.File, "userdat.kd2") << error.Text();
  EXPECT_EQ(error.Table.Damage, TDamage::FieldTable) << error.Text();
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

TEST(SameText, OnlyAToZFoldCase) {
  EXPECT_TRUE(SameTextIgnoringAZ("abc", "ABC"));
  EXPECT_TRUE(SameTextIgnoringAZ("Li Na", "lI nA"));
  EXPECT_FALSE(SameTextIgnoringAZ("ab", "abc"));
  EXPECT_FALSE(SameTextIgnoringAZ("[", "{"));  // 0x5B and 0x7B differ by 0x20 too
  EXPECT_FALSE(SameTextIgnoringAZ("\xC4", "\xE4"));
}

}  // namespace
}  // namespace kadrel
