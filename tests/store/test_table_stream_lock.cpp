// Open mode 2 shuts out every other writer, in this process or another, also
// after a Pack; readers (mode 0x20) work beside it, each on the table as it
// was between two changes. See platform/uFileLock.h.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

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

// A reader waits while a change is being written, then reads it whole.
TEST_F(TableStreamLock, AReaderWaitsForAChangeInFlight) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    char c = fd >= 0 && TryLockByte(fd, kChangeLockByte, TLockKind::Exclusive) ? 'y' : 'n';
    (void)!::write(ready[1], &c, 1);
    ::usleep(300 * 1000);
    ::_exit(0);  // the lock goes with the process
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  const auto start = std::chrono::steady_clock::now();
  TTableStream r(path_, kRead);
  EXPECT_TRUE(r.IsOpen()) << r.ErrorString();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(ready[0]);
  ::close(ready[1]);
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
