// Open mode 2 shuts out every other writer, in this process or another, also
// after a Pack; readers (mode 0x20) work beside it, each on the table as it
// was between two changes. See platform/uFileLock.h.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/uFileLock.h"
#include "tests/store/test_table_stream_util.h"

namespace kadrel {
namespace {

using testing::AddUser;
using testing::Bytes;
using testing::ReadBytes;
using testing::TTempDir;

constexpr auto kRW = TTableStream::kModeReadWrite;
constexpr auto kRead = TTableStream::kModeReadShared;

// Whether a child process can open `path` in `mode`: 1 yes, 0 no, -1 the
// child failed otherwise.
int OpensInAnotherProcess(const std::string& path, std::uint16_t mode) {
  pid_t pid = ::fork();
  if (pid == 0) {
    TTableStream t(path, mode);
    bool refusedForUse = !t.IsOpen() && t.ErrorString().find("in use") != std::string::npos;
    ::_exit(t.IsOpen() ? 1 : refusedForUse ? 0 : 2);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  int code = WEXITSTATUS(status);
  return code == 1 ? 1 : code == 0 ? 0 : -1;
}

class TableStreamLock : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("userdat.kd2");
    ASSERT_TRUE(testing::CreateUsers(path_));
    TTableStream t(path_, kRW);
    for (int i = 1; i <= 4; ++i) ASSERT_TRUE(AddUser(t, testing::Numbered("u", i)));
    t.First();
    ASSERT_TRUE(t.Delete());
    ASSERT_TRUE(t.Close());
  }
  void ExpectShutOut() {
    TTableStream second(path_, kRW);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_NE(second.ErrorString().find("in use"), std::string::npos) << second.ErrorString();
    EXPECT_EQ(second.Error().Kind, TTableFault::InUse);
    TTableStream creator(kRW);
    EXPECT_FALSE(creator.CreateTable(path_));
    EXPECT_EQ(creator.Error().Kind, TTableFault::InUse);
    EXPECT_EQ(OpensInAnotherProcess(path_, kRW), 0);
    TTableStream reader(path_, kRead);
    EXPECT_TRUE(reader.IsOpen()) << reader.ErrorString();
    EXPECT_EQ(OpensInAnotherProcess(path_, kRead), 1);
  }
  TTempDir dir_;
  std::string path_;
};

TEST_F(TableStreamLock, ModeTwoShutsOutOthersUntilClosed) {
  {
    TTableStream first(path_, kRW);
    ASSERT_TRUE(first.IsOpen());
    Bytes before = ReadBytes(path_);
    ExpectShutOut();
    EXPECT_EQ(ReadBytes(path_), before) << "the refused CreateTable truncated nothing";
    ASSERT_TRUE(first.Close());
    TTableStream second(path_, kRW);
    EXPECT_TRUE(second.IsOpen()) << second.ErrorString();
  }
  TTableStream third(path_, kRW);
  EXPECT_TRUE(third.IsOpen()) << "the destructor released the lock";
  third.Close();
  EXPECT_EQ(OpensInAnotherProcess(path_, kRW), 1);
}

TEST_F(TableStreamLock, ModeTwoShutsOutOthersAfterAPack) {
  TTableStream first(path_, kRW);
  ASSERT_TRUE(first.Pack()) << first.ErrorString();
  ASSERT_EQ(first.RecordCount(), 3);
  ExpectShutOut();
  ASSERT_TRUE(AddUser(first, "after"));
  ExpectShutOut();
  first.Close();
  EXPECT_EQ(OpensInAnotherProcess(path_, kRW), 1);
}

TEST_F(TableStreamLock, ReadersKeepTheTableAsItWasWhenTheyOpened) {
  TTableStream r1(path_, kRead);
  ASSERT_TRUE(r1.IsOpen());
  TTableStream writer(path_, kRW);
  ASSERT_TRUE(writer.IsOpen()) << writer.ErrorString();
  ASSERT_TRUE(AddUser(writer, "new"));
  ASSERT_TRUE(writer.Pack());
  EXPECT_EQ(r1.RecordCount(), 4);
  EXPECT_EQ(testing::LiveNames(r1), (std::vector<std::string>{"u2", "u3", "u4"}));
  TTableStream r2(path_, kRead);
  EXPECT_EQ(testing::LiveNames(r2), (std::vector<std::string>{"new", "u2", "u3", "u4"}));
}

// A child process that acts on the table when told, over two pipes: it
// says 'y' once its part is done, and finishes and exits on the parent's word.
class TChild {
 public:
  template <class Part, class Rest>
  TChild(Part part, Rest rest) {
    if (::pipe(toChild_) != 0 || ::pipe(toParent_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      char c = part() ? 'y' : 'n';
      (void)!::write(toParent_[1], &c, 1);
      (void)!::read(toChild_[0], &c, 1);
      rest();
      ::_exit(0);  // the locks go with the process
    }
  }
  bool Ready() {
    char c = 0;
    return pid_ > 0 && ::read(toParent_[0], &c, 1) == 1 && c == 'y';
  }
  void Go() { (void)!::write(toChild_[1], "x", 1); }
  ~TChild() {
    Go();
    int status = 0;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
    for (int fd : {toChild_[0], toChild_[1], toParent_[0], toParent_[1]}) ::close(fd);
  }

 private:
  int toChild_[2] = {-1, -1};
  int toParent_[2] = {-1, -1};
  pid_t pid_ = -1;
};

// A change in flight in another process: a reader that may not wait is
// refused (busy), one that may is let in once the change is whole and
// reads all of it; a change of ours gives up the same way.
TEST_F(TableStreamLock, AReaderWaitsForAChangeInFlightAndGivesUpAfterItsWait) {
  const Bytes before = ReadBytes(path_);
  int fd = -1;
  TChild child(
      [&] {
        fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
        const unsigned char half[10] = {0x20, 9};
        return fd >= 0 && TryLockByte(fd, kChangeLockByte, TLockKind::Exclusive) && ::pwrite(fd, half, 10, 0) == 10;
      },
      [&] { (void)!::pwrite(fd, before.data(), 10, 0); });
  ASSERT_TRUE(child.Ready());
  TTableStream hurried(kRead);
  hurried.SetWaits({.ChangeMs = 20});
  EXPECT_FALSE(hurried.Open(path_));
  EXPECT_EQ(hurried.Error().Kind, TTableFault::Busy);
  TTableStream writer(kRW);
  writer.SetWaits({.ChangeMs = 20});
  EXPECT_FALSE(writer.Open(path_)) << "a writer's Open waits for the change lock too";
  EXPECT_EQ(writer.Error().Kind, TTableFault::Busy);
  std::thread patient([&] {
    TTableStream r(kRead);
    r.SetWaits({.ChangeMs = 60000});
    EXPECT_TRUE(r.Open(path_)) << r.ErrorString();
    EXPECT_EQ(testing::LiveNames(r), (std::vector<std::string>{"u2", "u3", "u4"}));
  });
  child.Go();
  patient.join();
}

// A second writer waits for a short-lived one (a kadrel-cli command) up to
// its wait, and gets in once it is gone; one that holds the table for a
// session (the GUI) refuses it at once, however long it would wait.
TEST_F(TableStreamLock, AWriterWaitsForAShortLivedWriterButNotForASession) {
  for (bool session : {false, true}) {
    SCOPED_TRACE(session ? "session" : "short-lived");
    TChild child(
        [&] {
          static TTableStream held(kRW);  // until the child exits
          held.SetWaits({.Session = session});
          return held.Open(path_);
        },
        [] {});
    ASSERT_TRUE(child.Ready());
    TTableStream now(path_, kRW);
    EXPECT_EQ(now.Error().Kind, TTableFault::InUse) << "no wait given";
    TTableStream brief(kRW);
    brief.SetWaits({.WriterMs = session ? 60000 : 20});
    EXPECT_FALSE(brief.Open(path_));
    EXPECT_EQ(brief.Error().Kind, session ? TTableFault::InUse : TTableFault::Busy) << brief.ErrorString();
    if (session) continue;
    std::thread patient([&] {
      TTableStream w(kRW);
      w.SetWaits({.WriterMs = 60000});
      EXPECT_TRUE(w.Open(path_)) << w.ErrorString();
    });
    child.Go();
    patient.join();
  }
}

// The reason for open-file-description locks: with classic fcntl locks,
// closing any other descriptor of the file in this process would drop the lock.
TEST_F(TableStreamLock, ClosingAnotherDescriptorOfTheFileKeepsTheLock) {
  TTableStream first(path_, kRW);
  ASSERT_TRUE(first.IsOpen());
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ::close(fd);
  {
    TTableStream refused(path_, kRW);  // opens a descriptor, is refused, closes it
    EXPECT_FALSE(refused.IsOpen());
  }
  ExpectShutOut();
}

TEST_F(TableStreamLock, AnotherProcessHoldingTheTableShutsUsOut) {
  int toChild[2];
  int toParent[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(toParent), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    TTableStream held(path_, kRW);
    char c = held.IsOpen() && held.Pack() ? 'y' : 'n';
    (void)!::write(toParent[1], &c, 1);
    (void)!::read(toChild[0], &c, 1);  // hold the table until told
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(toParent[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  TTableStream t(path_, kRW);
  EXPECT_FALSE(t.IsOpen());
  EXPECT_NE(t.ErrorString().find("in use"), std::string::npos);
  EXPECT_FALSE(t.CreateTable(path_));
  TTableStream reader(path_, kRead);
  EXPECT_EQ(reader.RecordCount(), 3) << "a reader sees the packed table";
  ASSERT_EQ(::write(toChild[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(t.Open(path_)) << t.ErrorString();
  EXPECT_EQ(t.RecordCount(), 3) << "the child packed the table";
  for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) ::close(fd);
}

}  // namespace
}  // namespace kadrel
