// Opening the data files at start-up: nothing is created or written unless
// every existing file opens.
#include "app/uKadrelMainData.h"

#include <gtest/gtest.h>

#include "tests/app/app_test_util.h"

namespace kadrel {
namespace {

using namespace apptest;

std::string Name(TScheduleFile f) { return ScheduleFileName(f); }

TEST(OpenMainTables, EmptyFolderGetsThreeEmptyFilesWithTheirSchemas) {
  TScratchDir dir;
  TOpenFailure failure;
  auto tables = OpenMainTables(dir.Path(), failure);
  ASSERT_TRUE(tables) << failure.Reason;
  EXPECT_EQ(failure.Fault, TOpenFault::None);
  for (TScheduleFile f : kScheduleFiles) {
    TTableStream& t = tables->Table(f);
    EXPECT_TRUE(t.IsOpen()) << Name(f);
    EXPECT_EQ(t.RecordCount(), 0) << Name(f);
    std::string error;
    EXPECT_TRUE(HasScheduleSchema(t, f, error)) << error;
  }
}

TEST(OpenMainTables, ADamagedFileStopsBeforeAnyFileIsCreatedOrChanged) {
  TScratchDir dir;
  const Bytes junk = {'n', 'o', 't', ' ', 'a', ' ', 't', 'a', 'b', 'l', 'e'};
  WriteFileBytes(dir.File(TScheduleFile::Work), junk);
  TOpenFailure failure;
  EXPECT_FALSE(OpenMainTables(dir.Path(), failure));
  EXPECT_EQ(failure.Fault, TOpenFault::Unusable);
  EXPECT_EQ(failure.File, "workdat.kd2");
  EXPECT_FALSE(failure.Reason.empty());
  EXPECT_EQ(failure.Reason.find("workdat.kd2: "), std::string::npos) << "the file is named apart";
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::Work)), junk);
  // shiftdat comes first in order, yet it is not created over a failing start.
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"workdat.kd2"});
}

TEST(OpenMainTables, ATableOfOtherFieldsIsUnusableNotInUse) {
  // A valid table refused for its fields is still held while it is judged;
  // that hold must not be taken for another program's.
  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}});
  WriteFileBytes(dir.File(TScheduleFile::User), ReadFileBytes(dir.File(TScheduleFile::Work)));
  const std::vector<Bytes> before = DataFileBytes(dir);
  TOpenFailure failure;
  EXPECT_FALSE(OpenMainTables(dir.Path(), failure));
  EXPECT_EQ(failure.Fault, TOpenFault::Unusable);
  EXPECT_EQ(failure.File, "userdat.kd2");
  EXPECT_EQ(DataFileBytes(dir), before);
  // Released: the folder opens again once the file is right.
  WriteFileBytes(dir.File(TScheduleFile::User), Bytes{});
  std::filesystem::remove(dir.File(TScheduleFile::User));
  EXPECT_TRUE(OpenMainTables(dir.Path(), failure)) << failure.Reason;
}

TEST(OpenMainTables, FilesHeldByAnotherOpenerAreInUse) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {});
  TOpenFailure failure;
  auto first = OpenMainTables(dir.Path(), failure);
  ASSERT_TRUE(first) << failure.Reason;
  const std::vector<Bytes> before = DataFileBytes(dir);
  EXPECT_FALSE(OpenMainTables(dir.Path(), failure));
  EXPECT_EQ(failure.Fault, TOpenFault::InUse);
  EXPECT_EQ(failure.File, "shiftdat.kd2");
  EXPECT_TRUE(ScheduleFileInUse(dir.File(TScheduleFile::Work)));
  first.reset();
  EXPECT_FALSE(ScheduleFileInUse(dir.File(TScheduleFile::Work)));
  EXPECT_EQ(DataFileBytes(dir), before);
}

// A kadrel-cli read command does not keep Kadrel from starting, and an empty
// file left by an interrupted creation is made anew.
TEST(OpenMainTables, AReaderDoesNotStandInTheWayAndAnEmptyFileIsMadeAnew) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {});
  WriteFileBytes(dir.File(TScheduleFile::User), Bytes{});
  TTableStream reader(TTableStream::kModeReadShared);
  ASSERT_TRUE(reader.Open(dir.File(TScheduleFile::Work)));
  TOpenFailure failure;
  auto tables = OpenMainTables(dir.Path(), failure);
  ASSERT_TRUE(tables) << failure.Reason;
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::User)).size(), 192u);
}

}  // namespace
}  // namespace kadrel
