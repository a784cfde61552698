// The data folder: its ways of opening, the one classification of what
// stops an open, and what check clears after a crash. Nothing is created or
// written unless every existing file opens.
#include "schedule/uScheduleFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/uFileLock.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uReminders.h"
#include "schedule/uSyncFiles.h"
#include "store/uJournal.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using namespace schedtest;

std::string Name(TScheduleFile f) { return ScheduleFileName(f); }
std::string G(std::string_view utf8) { return GbkLiteral(utf8); }

// The main window's way in.
struct TOpened {
  std::unique_ptr<TScheduleFolder> Folder;  // null when the open failed
  TOpenFailure Failure;
  bool ReadOnly = false;
  TScheduleTables* Tables() const { return Folder ? &Folder->Tables() : nullptr; }
};

TOpened OpenFolder(const std::string& dir, TFolderAccess access = TFolderAccess::WriteElseView) {
  TOpened opened;
  auto folder = std::make_unique<TScheduleFolder>(dir);
  opened.Failure = folder->Open({access, TWritePolicy::AsTyped});
  opened.ReadOnly = folder->ReadOnly();
  if (!opened.Failure.Failed()) opened.Folder = std::move(folder);
  return opened;
}

TEST(FolderOpen, EmptyFolderGetsThreeEmptyFilesWithTheirSchemas) {
  TScratchDir dir;
  TOpened opened = OpenFolder(dir.Path());
  ASSERT_TRUE(opened.Folder) << opened.Failure.Text();
  EXPECT_EQ(opened.Failure.Fault, TOpenFault::None);
  EXPECT_FALSE(opened.ReadOnly);
  for (TScheduleFile f : kScheduleFiles) {
    TTableStream& t = opened.Tables()->Table(f);
    EXPECT_TRUE(t.IsOpen()) << Name(f);
    EXPECT_EQ(t.RecordCount(), 0) << Name(f);
    TScheduleError error;
    EXPECT_TRUE(HasScheduleSchema(t, f, error)) << error.Text();
  }
}

// Both ways of opening for a change: kadrel-cli's too makes nothing over a
// file it cannot use.
TEST(FolderOpen, ADamagedFileStopsBeforeAnyFileIsCreatedOrChanged) {
  for (TFolderAccess access : {TFolderAccess::WriteElseView, TFolderAccess::Write}) {
    TScratchDir dir;
    const Bytes junk = {'n', 'o', 't', ' ', 'a', ' ', 't', 'a', 'b', 'l', 'e'};
    WriteFileBytes(dir.File(TScheduleFile::Work), junk);
    const TOpenFailure failure = OpenFolder(dir.Path(), access).Failure;
    EXPECT_EQ(failure.Fault, TOpenFault::Damaged);
    EXPECT_EQ(failure.File, "workdat.kd2");
    EXPECT_EQ(failure.Why.Damage, TDamage::HeaderSize);
    EXPECT_EQ(failure.Why.Text.find("workdat.kd2: "), std::string::npos) << "the file is named apart";
    EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::Work)), junk);
    // shiftdat comes first in order, yet it is not created over a failing start.
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"workdat.kd2"});
  }
}

TEST(FolderOpen, ReadingCreatesNothingAndNamesWhatIsMissing) {
  TScratchDir dir;
  EXPECT_EQ(OpenFolder(dir.Path(), TFolderAccess::Read).Failure.Fault, TOpenFault::NoData);
  WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}});
  std::filesystem::remove(dir.File(TScheduleFile::Work));
  const TOpenFailure failure = OpenFolder(dir.Path(), TFolderAccess::Read).Failure;
  EXPECT_EQ(failure.Fault, TOpenFault::Missing);
  EXPECT_EQ(failure.Text(), "workdat.kd2: no such file");
  EXPECT_EQ(dir.Entries().size(), 2u);
}

TEST(FolderOpen, ATableOfOtherFieldsIsUnusableNotInUse) {
  // A valid table refused for its fields is still held while it is judged;
  // that hold must not be taken for another program's.
  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}});
  WriteFileBytes(dir.File(TScheduleFile::User), ReadFileBytes(dir.File(TScheduleFile::Work)));
  const std::vector<Bytes> before = DataFileBytes(dir);
  const TOpenFailure failure = OpenFolder(dir.Path()).Failure;
  EXPECT_EQ(failure.Fault, TOpenFault::Damaged);
  EXPECT_EQ(failure.File, "userdat.kd2");
  EXPECT_EQ(DataFileBytes(dir), before);
  // Released: the folder opens again once the file is right.
  std::filesystem::remove(dir.File(TScheduleFile::User));
  EXPECT_TRUE(OpenFolder(dir.Path()).Folder);
}

TEST(FolderOpen, FilesHeldByAnotherOpenerAreInUse) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {});
  TOpened first = OpenFolder(dir.Path());
  ASSERT_TRUE(first.Folder) << first.Failure.Text();
  const std::vector<Bytes> before = DataFileBytes(dir);
  const TOpenFailure failure = OpenFolder(dir.Path()).Failure;
  EXPECT_EQ(failure.Fault, TOpenFault::InUse);
  EXPECT_EQ(failure.File, "shiftdat.kd2");
  EXPECT_EQ(DataFileBytes(dir), before);
  first.Folder.reset();
  EXPECT_TRUE(OpenFolder(dir.Path()).Folder) << "released";
}

// The times, the settings and the ledger: absent until a change needs one,
// then opened at every start; the three files never see them.
TEST(FolderOpen, AnOptionalTableIsMadeByTheFirstChangeThatNeedsItAndNoneBefore) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}});
  const std::vector<Bytes> before = DataFileBytes(dir);
  {
    TOpened opened = OpenFolder(dir.Path());
    ASSERT_TRUE(opened.Folder) << opened.Failure.Text();
    EXPECT_FALSE(opened.Tables()->Ledger.IsOpen());
    EXPECT_EQ(dir.Entries().size(), 3u);
    TScheduleError error;
    ASSERT_TRUE(opened.Folder->OpenForChange(TScheduleFile::Ledger, error)) << error.Text();
    EXPECT_TRUE(opened.Tables()->Ledger.IsOpen());
    EXPECT_FALSE(opened.Tables()->Settings.IsOpen()) << "only the table asked for";
  }
  EXPECT_EQ(DataFileBytes(dir), before);
  TOpened again = OpenFolder(dir.Path());
  ASSERT_TRUE(again.Folder) << again.Failure.Text();
  EXPECT_TRUE(again.Tables()->Ledger.IsOpen());

  // Viewing makes nothing, and a folder of nothing but settings holds no data.
  again.Folder.reset();
  TOpened viewing = OpenFolder(dir.Path(), TFolderAccess::Read);
  TScheduleError error;
  EXPECT_FALSE(viewing.Folder->OpenForChange(TScheduleFile::Settings, error));
  EXPECT_EQ(error.Text(), "cfgdat.kd2: the data is open for viewing only");
  viewing.Folder.reset();
  TScratchDir settingsOnly;
  TTableStream config;
  ASSERT_TRUE(OpenOrCreateScheduleFile(config, TScheduleFile::Settings, settingsOnly.File(TScheduleFile::Settings),
                                       error));
  config.Close();
  EXPECT_EQ(OpenFolder(settingsOnly.Path(), TFolderAccess::Read).Failure.Fault, TOpenFault::NoData);
}

// A kadrel-cli read command does not keep Kadrel from starting, and an empty
// file left by an interrupted creation is made anew.
TEST(FolderOpen, AReaderDoesNotStandInTheWayAndAnEmptyFileIsMadeAnew) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {});
  WriteFileBytes(dir.File(TScheduleFile::User), Bytes{});
  TTableStream reader(TTableStream::kModeReadShared);
  ASSERT_TRUE(reader.Open(dir.File(TScheduleFile::Work)));
  TOpened opened = OpenFolder(dir.Path());
  ASSERT_TRUE(opened.Folder) << opened.Failure.Text();
  EXPECT_EQ(ReadFileBytes(dir.File(TScheduleFile::User)).size(), 192u);
}

TEST(FolderOpen, WhatIsNoRegularFileIsToldByItsKindAndNotOpened) {
  TScratchDir dir;
  ASSERT_EQ(::mkfifo(dir.File(TScheduleFile::Work).c_str(), 0600), 0);  // opening it would wait
  TOpenFailure failure = OpenFolder(dir.Path()).Failure;
  EXPECT_EQ(failure.Fault, TOpenFault::NotRegular);
  EXPECT_TRUE(S_ISFIFO(failure.Why.FileType));
  EXPECT_EQ(failure.File, "workdat.kd2");
  std::filesystem::remove(dir.File(TScheduleFile::Work));
  std::filesystem::create_directory(dir.File(TScheduleFile::User));
  failure = OpenFolder(dir.Path()).Failure;
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

TEST(FolderOpen, DataThatCanOnlyBeReadOpensForViewingAndIsNotWritten) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}});
  SetMode(dir.Path(), 0755);
  for (TScheduleFile f : kScheduleFiles) SetMode(dir.File(f), 0444);
  const std::vector<Bytes> before = DataFileBytes(dir);
  auto view = [&] {
    TOpened opened = OpenFolder(dir.Path());
    if (!opened.Folder || !opened.ReadOnly) return false;
    TTableStream& users = opened.Tables()->User;
    users.First();
    const bool read = users.RecordCount() == 1 && users.FieldByName("Name").AsString() == G("张三");
    TScheduleError error;
    return read && !users.Edit() && opened.Folder->Close(error);
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
    const TOpenFailure failure = OpenFolder(dir.Path()).Failure;
    return failure.Fault == TOpenFault::NoPermission && failure.Creating && failure.File == "shiftdat.kd2";
  }));
  SetMode(dir.Path(), 0755);
}

TEST(FolderOpen, AFileThatMayNotBeReadIsNoPermission) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {});
  SetMode(dir.Path(), 0755);
  SetMode(dir.File(TScheduleFile::Work), 0200);
  EXPECT_TRUE(AsNobody([&] {
    const TOpenFailure failure = OpenFolder(dir.Path()).Failure;
    return failure.Fault == TOpenFault::NoPermission && !failure.Creating && failure.File == "workdat.kd2";
  }));
}

// The rota files: made by the first change that needs them, inside it, and
// never by a refused one; the snapshot follows every change made through
// the folder, while one handed out before stays as it was.
TEST(FolderRota, TheFirstExceptionMakesItsFileAndTheSnapshotFollows) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}, {"李四", 1, 45000, 1}});
  const std::vector<Bytes> schedule = DataFileBytes(dir);
  TOpened opened = OpenFolder(dir.Path(), TFolderAccess::Write);
  ASSERT_TRUE(opened.Folder) << opened.Failure.Text();
  TScheduleFolder& folder = *opened.Folder;
  const auto before = folder.Snapshot();
  auto duty = [](const auto& snapshot, std::string_view name) {
    return std::string(snapshot->Resolve(*snapshot->FindUser(G(name)), 45000).Duty.Name);
  };
  ASSERT_EQ(duty(before, "张三"), G("白班"));

  TExceptionRecord set;
  set.Kind = TExceptionKind::Set;
  set.User = G("张三");
  set.First = set.Last = 45000;
  set.DutyID = 9;
  TRotaError error;
  EXPECT_FALSE(folder.Rota().AddException(set, error));
  EXPECT_EQ(error.Fault, TRotaFault::UnknownDuty);
  EXPECT_EQ(dir.Entries().size(), 3u) << "a refused change makes no file";
  EXPECT_EQ(folder.Snapshot(), before) << "nothing changed, nothing rebuilt";

  set.DutyID = 2;
  ASSERT_TRUE(folder.Rota().AddException(set, error)) << error.Text();
  EXPECT_TRUE(std::filesystem::exists(dir.File(TScheduleFile::Exceptions)));
  EXPECT_EQ(duty(folder.Snapshot(), "张三"), G("夜班"));
  EXPECT_EQ(duty(before, "张三"), G("白班"));
  EXPECT_EQ(DataFileBytes(dir), schedule);

  TUserRecord user = *folder.Records().FindUser(G("张三"));
  user.Name = G("王五");
  ASSERT_TRUE(folder.Rota().SaveUser(user, error)) << error.Text();
  EXPECT_EQ(duty(folder.Snapshot(), "王五"), G("夜班")) << "the exception followed the rename";
  EXPECT_FALSE(std::filesystem::exists(dir.File(TScheduleFile::History)));
  TScheduleError closeError;
  ASSERT_TRUE(folder.Close(closeError));

  // Viewing only: the history is not made for a change of scheme.
  TOpened view = OpenFolder(dir.Path(), TFolderAccess::Read);
  ASSERT_TRUE(view.Folder) << view.Failure.Text();
  EXPECT_EQ(duty(view.Folder->Snapshot(), "王五"), G("夜班"));
  EXPECT_FALSE(view.Folder->Rota().ChangeScheme(G("李四"), 45010, 2, 0, error));
  EXPECT_EQ(error.Fault, TRotaFault::WriteFailed);
  EXPECT_FALSE(std::filesystem::exists(dir.File(TScheduleFile::History)));
}

// The calendar key: made once, when first asked for, kept across opens, and
// carried by a rename and gone with a delete in the same change.
TEST(FolderRota, TheCalendarKeyIsMadeOnceAndFollowsTheUser) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}, {"李四", 1, 45000, 1}});
  std::string zhang;
  {
    TOpened viewing = OpenFolder(dir.Path(), TFolderAccess::Read);
    TScheduleError error;
    EXPECT_FALSE(viewing.Folder->CalendarKey(G("张三"), error));
    EXPECT_EQ(error.Text(), "uiddat.kd2: the data is open for viewing only");
  }
  {
    TOpened opened = OpenFolder(dir.Path(), TFolderAccess::Write);
    ASSERT_TRUE(opened.Folder) << opened.Failure.Text();
    EXPECT_FALSE(opened.Tables()->Keys.IsOpen());
    TScheduleError error;
    zhang = opened.Folder->CalendarKey(G("张三"), error).value_or("");
    ASSERT_EQ(zhang.size(), 32u) << error.Text();
    EXPECT_EQ(opened.Folder->CalendarKey(G(" 张三"), error), zhang);
    EXPECT_NE(opened.Folder->CalendarKey(G("李四"), error), zhang);
  }
  TOpened opened = OpenFolder(dir.Path(), TFolderAccess::Write);
  TScheduleFolder& folder = *opened.Folder;
  TScheduleError error;
  EXPECT_EQ(folder.CalendarKey(G("张三"), error), zhang) << "kept, not made again";
  TUserRecord user = *folder.Records().FindUser(G("张三"));
  user.Name = G("王五");
  TRotaError rotaError;
  ASSERT_TRUE(folder.Rota().SaveUser(user, rotaError)) << rotaError.Text();
  EXPECT_EQ(FindUserKey(folder.Tables().Keys, G("王五")), zhang);
  EXPECT_FALSE(FindUserKey(folder.Tables().Keys, G("张三")));
  ASSERT_TRUE(folder.Rota().DeleteUser(folder.Records().FindUser(G("王五"))->Slot, rotaError)) << rotaError.Text();
  EXPECT_FALSE(FindUserKey(folder.Tables().Keys, G("王五")));
  EXPECT_TRUE(FindUserKey(folder.Tables().Keys, G("李四")));
  TUserRecord again{0, G("王五"), 1, 45000, 0};
  ASSERT_TRUE(folder.Rota().SaveUser(again, rotaError)) << rotaError.Text();
  EXPECT_NE(folder.CalendarKey(G("王五"), error), zhang) << "a new user of an old name gets a new key";
}

// What belongs to a user or a duty kind in other files goes with it, in
// the change's one commit, and a deletion leaves no deleted slot behind.
TEST(FolderRota, RenamesAndDeletionsCarryTheRecordsOfOtherFiles) {
  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}, {"李四", 1, 45000, 1}});
  TOpened opened = OpenFolder(dir.Path(), TFolderAccess::Write);
  ASSERT_TRUE(opened.Folder) << opened.Failure.Text();
  TScheduleFolder& folder = *opened.Folder;
  TScheduleError error;
  ASSERT_TRUE(folder.OpenForChange(TScheduleFile::Ledger, error) && folder.OpenForChange(TScheduleFile::Times, error));
  TTableStream& ledger = folder.Tables().Ledger;
  for (const char* user : {"张三", "李四"}) {
    ASSERT_TRUE(ledger.Append() && ledger.SetText(kSentUser, G(user)) && ledger.Post());
  }
  TTimesError timesError;
  ASSERT_TRUE(SetDutyTimes(folder.Tables().Times, folder.Records(), {2, 480, 480}, timesError));
  auto sentTo = [&] {
    std::vector<std::string> users;
    for (const auto& r : ReadLedger(ledger)) users.push_back(r.User);
    return users;
  };

  TUserRecord user = *folder.Records().FindUser(G("张三"));
  user.Name = G("王五");
  TRotaError rotaError;
  ASSERT_TRUE(folder.Rota().SaveUser(user, rotaError)) << rotaError.Text();
  EXPECT_EQ(sentTo(), (std::vector<std::string>{G("王五"), G("李四")}));
  ASSERT_TRUE(folder.Rota().DeleteUser(user.Slot, rotaError)) << rotaError.Text();
  EXPECT_EQ(sentTo(), (std::vector<std::string>{G("李四")}));
  EXPECT_EQ(folder.Tables().User.DeletedCount(), 0);

  ASSERT_TRUE(folder.Records().DeleteDutyKind(2, error)) << error.Text();
  EXPECT_TRUE(ReadDutyTimes(folder.Tables().Times).empty());
  EXPECT_EQ(folder.Tables().Work.DeletedCount(), 0);
  ASSERT_TRUE(folder.Close(error));
  EXPECT_EQ(dir.Entries().size(), 5u) << "no journal or change record is left";
}

// An optional file alone is no data to read.
TEST(FolderRota, ARotaFileAloneIsNoData) {
  TScratchDir dir;
  TTableStream table;
  TScheduleError error;
  ASSERT_TRUE(OpenOrCreateRotaFile(table, TScheduleFile::History, dir.Path(), error)) << error.Text();
  table.Close();
  EXPECT_EQ(OpenFolder(dir.Path(), TFolderAccess::Read).Failure.Fault, TOpenFault::NoData);
}

// A writer killed while it writes the table itself, its journal on disk:
// what a crash in the middle of a change leaves.
class TDieInTableWrite : public TFileOps {
 public:
  explicit TDieInTableWrite(ino_t table) : table_(table) {}
  ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_ino == table_) {
      TFileOps::Write(fd, data, (size + 1) / 2, offset);
      ::_exit(0);
    }
    return TFileOps::Write(fd, data, size, offset);
  }

 private:
  ino_t table_;
};

class FolderCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteDataSet(dir_.Path(), {{"张三", 1, 45000, 0}});
    before_ = ReadFileBytes(Users());
    const pid_t child = ::fork();
    if (child == 0) {
      struct stat st {};
      TTableStream users(Users(), TTableStream::kModeReadWrite);
      TDieInTableWrite dying(::stat(Users().c_str(), &st) == 0 ? st.st_ino : 0);
      users.SetFileOps(&dying);
      users.Append();
      users.SetText(kUserName, G("李四"));
      users.Post();
      ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer was to die inside its change";
    ASSERT_NE(ReadFileBytes(Users()), before_);
    ASSERT_TRUE(std::filesystem::exists(JournalPath(Users())));
    WriteFileBytes(Users() + ".new-AbC123", {1, 2, 3});
  }
  std::string Users() const { return dir_.File(TScheduleFile::User); }
  static std::vector<std::int32_t> LiveCounts(const TFolderCheck& report) {
    std::vector<std::int32_t> live;
    for (const TTableCounts& t : report.Tables) live.push_back(t.Live);
    return live;
  }

  TScratchDir dir_;
  Bytes before_;
};

TEST_F(FolderCheck, UndoesTheChangeACrashInterruptedAndClearsWhatNobodyHolds) {
  // A table being made by a live writer is its own.
  const std::string held = Users() + ".new-Held01";
  WriteFileBytes(held, {});
  TUniqueFd holder(::open(held.c_str(), O_RDWR));
  ASSERT_TRUE(TryLockByte(holder.Get(), kWriterLockByte, TLockKind::Exclusive));

  const TFolderCheck report = TScheduleFolder(dir_.Path()).Check();
  EXPECT_FALSE(report.Failure.Failed()) << report.Failure.Text();
  ASSERT_EQ(report.Leftovers.size(), 2u);
  EXPECT_EQ(report.Leftovers[0].What, TLeftover::UndoneChange);
  EXPECT_EQ(report.Leftovers[0].Name, "userdat.kd2");
  EXPECT_EQ(report.Leftovers[1].What, TLeftover::RemovedTemporary);
  EXPECT_EQ(report.Leftovers[1].Name, "userdat.kd2.new-AbC123");
  EXPECT_EQ(ReadFileBytes(Users()), before_);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"shiftdat.kd2", "userdat.kd2", "userdat.kd2.new-Held01",
                                                       "workdat.kd2"}));
  EXPECT_EQ(LiveCounts(report), (std::vector<std::int32_t>{2, 3, 1}));
  EXPECT_TRUE(TScheduleFolder(dir_.Path()).Check().Leftovers.empty()) << "nothing is left to clear";
}

TEST_F(FolderCheck, WhereTheFolderMayNotBeWrittenItReadsThroughAndLeavesAll) {
  TWriteAccessOverride readOnly([](const std::string&) { return false; });
  const auto files = dir_.Entries();
  const Bytes torn = ReadFileBytes(Users());
  const TFolderCheck report = TScheduleFolder(dir_.Path()).Check();
  EXPECT_FALSE(report.Failure.Failed()) << report.Failure.Text();
  ASSERT_EQ(report.Leftovers.size(), 2u);
  EXPECT_EQ(report.Leftovers[0].What, TLeftover::JournalReadThrough);
  EXPECT_EQ(report.Leftovers[1].What, TLeftover::KeptTemporary);
  EXPECT_EQ(LiveCounts(report), (std::vector<std::int32_t>{2, 3, 1})) << "the state before the change";
  EXPECT_EQ(dir_.Entries(), files);
  EXPECT_EQ(ReadFileBytes(Users()), torn);
}

TEST(FolderCheckCreation, APartialFirstCreationIsFinishedButAMissingFileBesideDataIsNot) {
  TScratchDir dir;
  ASSERT_FALSE(OpenFolder(dir.Path(), TFolderAccess::Write).Failure.Failed());
  std::filesystem::remove(dir.File(TScheduleFile::Work));
  WriteFileBytes(dir.File(TScheduleFile::User), {});  // an older version's interrupted creation
  TFolderCheck report = TScheduleFolder(dir.Path()).Check();
  EXPECT_FALSE(report.Failure.Failed()) << report.Failure.Text();
  ASSERT_EQ(report.Leftovers.size(), 2u);
  EXPECT_EQ(report.Leftovers[0].What, TLeftover::CompletedCreation);
  EXPECT_EQ(report.Leftovers[0].Name, "workdat.kd2");
  EXPECT_EQ(report.Leftovers[1].Name, "userdat.kd2");
  EXPECT_EQ(report.Tables.size(), 3u);

  WriteDataSet(dir.Path(), {});
  std::filesystem::remove(dir.File(TScheduleFile::User));
  report = TScheduleFolder(dir.Path()).Check();
  EXPECT_EQ(report.Failure.Fault, TOpenFault::Missing);
  EXPECT_EQ(report.Failure.File, "userdat.kd2");
  EXPECT_TRUE(report.Leftovers.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File(TScheduleFile::User)));
}

}  // namespace
}  // namespace kadrel
