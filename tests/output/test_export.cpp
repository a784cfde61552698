#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "output/uExport.h"
#include "output_fixture.h"
#include "tests/test_dir.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

using TempDir = TTestDir;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::size_t EntriesIn(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Fails one kind of call with a chosen errno: writes after `budget` bytes
// (writing short first), or the flush, or the rename.
class TFailingOps : public TFileOps {
 public:
  enum class What { Write, Sync, Rename };
  TFailingOps(What what, int err, std::size_t budget = 0) : what_(what), err_(err), budget_(budget) {}

  ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
    if (what_ != What::Write) return TFileOps::Write(fd, data, size, offset);
    if (budget_ == 0) {
      errno = err_;
      return -1;
    }
    std::size_t n = std::min(size, budget_);
    budget_ -= n;
    return TFileOps::Write(fd, data, n, offset);
  }
  int Sync(int fd) override {
    if (what_ == What::Sync) {
      errno = err_;
      return -1;
    }
    return TFileOps::Sync(fd);
  }
  int Rename(const char* from, const char* to) override {
    if (what_ == What::Rename) {
      errno = err_;
      return -1;
    }
    return TFileOps::Rename(from, to);
  }

 private:
  What what_;
  int err_;
  std::size_t budget_;
};

TLineList YearOf(const TShiftUser& user, int year) {
  TLineList lines;
  for (int m = 1; m <= 12; ++m) AppendExportMonth(lines, user, year, m);
  return lines;
}

TEST(IoErrors, LinuxErrorsMapOntoTheClassicMessages) {
  EXPECT_EQ(IoErrorFromErrno(ENOENT, false).Message, "Invalid filename");
  EXPECT_EQ(IoErrorFromErrno(ENOENT, true).Message, "File not found");
  EXPECT_EQ(IoErrorFromErrno(EMFILE, true).Message, "Too many open files");
  EXPECT_EQ(IoErrorFromErrno(EACCES, true).Message, "File access denied");
  EXPECT_EQ(IoErrorFromErrno(EROFS, true).Message, "File access denied");
  EXPECT_EQ(IoErrorFromErrno(EISDIR, true).Message, "File access denied");
  EXPECT_EQ(IoErrorFromErrno(ENOSPC, true).Message, "Disk full");
  EXPECT_EQ(IoErrorFromErrno(EDQUOT, true).Code, 101);
  EXPECT_EQ(IoErrorFromErrno(EIO, true).Message, "I/O error 5");
  EXPECT_EQ(IoErrorFromErrno(EIO, true).Code, EIO);
}

TEST(SaveFiles, EachWriterWritesExactlyTheBuiltBytes) {
  TempDir dir;
  TShiftUser user = testing::ZhangSan();
  TLineList lines = YearOf(user, 2005);
  std::string title = ScheduleTitle(user, 2005);
  ASSERT_FALSE(SaveAsText(title, dir / "a.txt", lines));
  ASSERT_FALSE(SaveAsHtml(title, dir / "a.html", lines));
  ASSERT_FALSE(SaveAsDat(title, dir / "a.dat", lines));
  EXPECT_EQ(ReadFile(dir / "a.txt"), BuildTextFile(title, lines));
  EXPECT_EQ(ReadFile(dir / "a.html"), BuildHtmlFile(title, lines));
  EXPECT_EQ(ReadFile(dir / "a.dat"), BuildDatFile(lines));
  EXPECT_EQ(EntriesIn(dir.Path()), 3u);  // no temporary file left behind
}

TEST(SaveFiles, OverwritesAnExistingFileWithoutAsking) {
  TempDir dir;
  std::ofstream(dir / "a.dat") << "old contents that are longer than the new ones";
  TLineList lines;
  AppendExportMonth(lines, testing::ZhangSan(), 2005, 2);
  ASSERT_FALSE(SaveAsDat("", dir / "a.dat", lines));
  EXPECT_EQ(ReadFile(dir / "a.dat"), BuildDatFile(lines));
}

// What the target is decides where the bytes go; every link, node, owner and
// mode stays as it was.
TEST(SaveFiles, ALinkedTargetIsWrittenWhereItPointsAndKeepsItsMode) {
  TempDir dir;
  fs::create_directory(dir / "real");
  std::ofstream(dir / "real/a.txt") << "old";
  ::chmod((dir / "real/a.txt").c_str(), 0600);
  fs::create_symlink("real/a.txt", dir / "link.txt");
  fs::create_hard_link(dir / "real/a.txt", dir / "second.txt");
  ASSERT_FALSE(WriteFileAtomically(dir / "link.txt", "new"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(ReadFile(dir / "real/a.txt"), "new");
  EXPECT_EQ(ReadFile(dir / "second.txt"), "new") << "a hard link stays the same file";
  struct stat st {};
  ASSERT_EQ(::stat((dir / "real/a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_nlink, 2u);
  fs::remove(dir / "second.txt");
  const bool root = ::geteuid() == 0;  // as root, the user's file must stay the user's
  if (root) {
    ASSERT_EQ(::chown((dir / "real/a.txt").c_str(), 65534, 65534), 0);
  }
  ASSERT_FALSE(WriteFileAtomically(dir / "link.txt", "newer"));  // now replaced atomically
  ASSERT_EQ(::stat((dir / "real/a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  if (root) {
    EXPECT_EQ(st.st_uid, 65534u);
  }
  EXPECT_EQ(ReadFile(dir / "link.txt"), "newer");
  EXPECT_EQ(EntriesIn(dir / "real"), 1u);
}

TEST(SaveFiles, AFifoOrADeviceIsWrittenThrough) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    std::string got = ReadFile(dir / "pipe");
    ::_exit(got == "through the pipe" ? 0 : 1);
  }
  EXPECT_FALSE(WriteFileAtomically(dir / "pipe", "through the pipe"));
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
  fs::create_symlink("/dev/null", dir / "null");
  EXPECT_FALSE(WriteFileAtomically(dir / "null", "gone"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_symlink(dir / "null"));
  EXPECT_EQ(EntriesIn(dir.Path()), 2u);
}

TEST(SaveFiles, MissingFolderIsAnInvalidFilename) {
  TempDir dir;
  auto err = SaveAsText("t", dir / "no/such/folder/a.txt", {});
  ASSERT_TRUE(err);
  EXPECT_EQ(err->Code, 3);
  EXPECT_EQ(err->Message, "Invalid filename");
}

TEST(SaveFiles, AFolderInTheWayIsAccessDenied) {
  TempDir dir;
  fs::create_directory(dir / "taken.txt");
  auto err = SaveAsText("t", dir / "taken.txt", {});
  ASSERT_TRUE(err);
  EXPECT_EQ(err->Message, "File access denied");
  EXPECT_TRUE(fs::is_directory(dir / "taken.txt"));
}

// Root writes anywhere, so under root the attempt runs in a child that has
// given up its rights; the folder stays root's own and read-only to it.
TEST(SaveFiles, ReadOnlyFolderIsAccessDenied) {
  TempDir dir;
  fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  auto attempt = [&] {
    auto err = SaveAsText("t", dir / "a.txt", {});
    return err && err->Message == "File access denied" && !fs::exists(dir / "a.txt");
  };
  if (::geteuid() != 0) {
    EXPECT_TRUE(attempt());
    return;
  }
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && attempt();
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

struct FailureCase {
  const char* name;
  TFailingOps::What what;
  int err;
  std::size_t budget;
  const char* message;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailedExport : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailedExport, KeepsTheOldFileWholeAndLeavesNoTemporary) {
  const FailureCase& c = GetParam();
  TempDir dir;
  const std::string old = "the previous export\r\n";
  std::ofstream(dir / "year.html", std::ios::binary) << old;
  TFailingOps ops(c.what, c.err, c.budget);
  TShiftUser user = testing::ZhangSan();
  auto err = SaveAsHtml(ScheduleTitle(user, 2005), dir / "year.html", YearOf(user, 2005), ops);
  ASSERT_TRUE(err);
  EXPECT_EQ(err->Message, c.message);
  EXPECT_EQ(ReadFile(dir / "year.html"), old);
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Export, FailedExport,
    ::testing::Values(FailureCase{"FirstWrite", TFailingOps::What::Write, ENOSPC, 0, "Disk full"},
                      FailureCase{"AfterTenBytes", TFailingOps::What::Write, ENOSPC, 10, "Disk full"},
                      FailureCase{"AfterOneChunk", TFailingOps::What::Write, EDQUOT, 70000, "Disk full"},
                      FailureCase{"ReadOnlyFileSystem", TFailingOps::What::Write, EROFS, 0,
                                  "File access denied"},
                      FailureCase{"Flush", TFailingOps::What::Sync, EIO, 0, "I/O error 5"},
                      FailureCase{"Rename", TFailingOps::What::Rename, EACCES, 0, "File access denied"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kadrel
