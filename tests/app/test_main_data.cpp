// Opening the data files at start-up: nothing is created or written unless
// every existing file opens.
#include "app/uKadrelMainData.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/app/app_test_util.h"

namespace kadrel {
namespace {

using namespace apptest;

std::string Name(TScheduleFile f) { return ScheduleFileName(f); }

TEST(OpenMainTables, EmptyFolderGetsThreeEmptyFilesWithTheirSchemas) {
  TScratchDir dir;
  TMainTables opened = OpenMainTables(dir.Path());
  ASSERT_TRUE(opened.Tables) << opened.Failure.Why.Text;
  EXPECT_EQ(opened.Failure.Fault, TOpenFault::None);
  EXPECT_FALSE(opened.ReadOnly);
  for (TScheduleFile f : kScheduleFiles) {
    TTableStream& t = opened.Tables->Table(f);
    EXPECT_TRUE(t.IsOpen()) << Name(f);
    EXPECT_EQ(t.RecordCount(), 0) << Name(f);
    TScheduleError error;
    EXPECT_TRUE(HasScheduleSchema(t, f, error)) << error.Text();
  }
}

TEST(OpenMainTables, ADamagedFileStopsBeforeAnyFileIsCreatedOrChanged) {
  TScratchDir dir;
  const Bytes junk = {'n', 'o', 't', ' ', 'a', ' ', 't', 'a', 'b', 'l', 'e'};
  WriteFileBytes(dir.File(TScheduleFile::Work), junk);
  const TOpenFailure failure = OpenMainTables(dir.Path()).Failure;
  EXPECT_EQ(failure.Fault, TOpenFault::Damaged);
  EXPECT_EQ(failure.File, "workdat.kd2");
  EXPECT_EQ(failure.Why.Damage, TDamage::HeaderSize);
  EXPECT_EQ(failure.Why.Text.find("workdat.kd2: "), std::string::npos) << "the file is named apart";
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
  const TOpenFailure failure = OpenMainTables(dir.Path()).Failure;
  EXPECT_EQ(failure.Fault, TOpenFault::Damaged);
  EXPECT_EQ(failure.File, "userdat.kd2");
  EXPECT_EQ(DataFileBytes(dir), before);
  // Released: the folder opens again once the file is right.
  std::filesystem::remove(dir.File(TScheduleFile::User));
  EXPECT_TRUE(OpenMainTables(dir.Path()).Tables);
}

TEST(OpenMainTables, FilesHeldByAnotherOpenerAreInUse) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {});
  TMainTables first = OpenMainTables(dir.Path());
  ASSERT_TRUE(first.Tables) << first.Failure.Why.Text;
  const std::vector<Bytes> before = DataFileBytes(dir);
  const TOpenFailure failure = OpenMainTables(dir.Path()).Failure;
  EXPECT_EQ(failure.Fault, TOpenFault::InUse);
  EXPECT_EQ(failure.File, "shiftdat.kd2");
  EXPECT_EQ(DataFileBytes(dir), before);
  first.Tables.reset();
  EXPECT_TRUE(OpenMainTables(dir.Path()).Tables) << "released";
}

// A kadrel-cli read command does not keep Kadrel from starting, and an empty
// file left by an interrupted creation is made anew.
TEST(OpenMainTables, AReaderDoesNotStandInTheWayAndAnEmptyFileIsMadeAnew) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {});
  WriteFileBytes(dir.File(TScheduleFile::User), Bytes{});
  TTableStream reader(TTableStream::kModeReadShared);
  ASSERT_TRUE(reader.Open(dir.File(TScheduleFile::Work)));
  TMainTables opened = OpenMainTables(dir.Path());
  ASSERT_TRUE(opened.Tables) << opened.Failure.Why.Text;
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::User)).size(), 192u);
}

TEST(OpenMainTables, WhatIsNoRegularFileIsToldByItsKindAndNotOpened) {
  TScratchDir dir;
  ASSERT_EQ(::mkfifo(dir.File(TScheduleFile::Work).c_str(), 0600), 0);  // opening it would wait
  TOpenFailure failure = OpenMainTables(dir.Path()).Failure;
  EXPECT_EQ(failure.Fault, TOpenFault::NotRegular);
  EXPECT_TRUE(S_ISFIFO(failure.Why.FileType));
  EXPECT_EQ(failure.File, "workdat.kd2");
  std::filesystem::remove(dir.File(TScheduleFile::Work));
  std::filesystem::create_directory(dir.File(TScheduleFile::User));
  failure = OpenMainTables(dir.Path()).Failure;
  EXPECT_EQ(failure.Fault, TOpenFault::NotRegular);
  EXPECT_TRUE(S_ISDIR(failure.Why.FileType));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"userdat.kd2"}) << "nothing created";
}

// Root may write anything; the checks of rights run as nobody, in a child.
template <class Check>
bool AsNobody(Check check) {
  if (::geteuid() != 0) return check();
  const pid_t child = ::fork();
  if (child == 0) ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && check() ? 0 : 1);
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void SetMode(const std::string& path, mode_t mode) { ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path; }

TEST(OpenMainTables, DataThatCanOnlyBeReadOpensForViewingAndIsNotWritten) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}});
  SetMode(dir.Path(), 0755);
  for (TScheduleFile f : kScheduleFiles) SetMode(dir.File(f), 0444);
  const std::vector<Bytes> before = DataFileBytes(dir);
  auto view = [&] {
    TMainTables opened = OpenMainTables(dir.Path());
    if (!opened.Tables || !opened.ReadOnly) return false;
    TTableStream& users = opened.Tables->User;
    users.First();
    const bool read = users.RecordCount() == 1 && users.FieldByName("Name").AsString() == G("张三");
    TScheduleError error;
    return read && !users.Edit() && CloseScheduleTables(*opened.Tables, error);
  };
  EXPECT_TRUE(AsNobody(view)) << "read-only files";
  EXPECT_EQ(DataFileBytes(dir), before);

  // Files the user may write in a folder where no journal can be made.
  for (TScheduleFile f : kScheduleFiles) {
    SetMode(dir.File(f), 0666);
    ASSERT_EQ(::chown(dir.File(f).c_str(), ::geteuid() == 0 ? 65534 : ::geteuid(), -1), 0);
  }
  SetMode(dir.Path(), 0555);
  EXPECT_TRUE(AsNobody(view)) << "a read-only folder";
  EXPECT_EQ(DataFileBytes(dir), before);
  EXPECT_EQ(dir.Entries().size(), 3u);

  // A missing file cannot be made there.
  SetMode(dir.Path(), 0755);
  std::filesystem::remove(dir.File(TScheduleFile::Shift));
  SetMode(dir.Path(), 0555);
  EXPECT_TRUE(AsNobody([&] {
    const TOpenFailure failure = OpenMainTables(dir.Path()).Failure;
    return failure.Fault == TOpenFault::NoPermission && failure.Creating && failure.File == "shiftdat.kd2";
  }));
  SetMode(dir.Path(), 0755);
}

TEST(OpenMainTables, AFileThatMayNotBeReadIsNoPermission) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {});
  SetMode(dir.Path(), 0755);
  SetMode(dir.File(TScheduleFile::Work), 0200);
  EXPECT_TRUE(AsNobody([&] {
    const TOpenFailure failure = OpenMainTables(dir.Path()).Failure;
    return failure.Fault == TOpenFault::NoPermission && !failure.Creating && failure.File == "workdat.kd2";
  }));
}

}  // namespace
}  // namespace kadrel
