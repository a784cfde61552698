// The atomic writer's rules on real files: links, owner and mode, targets
// that are not regular files, hard links, and the two ways of placing.
// Write failures are driven through the file-ops seam in tests/output.
#include "platform/uAtomicFile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/test_dir.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::size_t Entries(const fs::path& dir) {
  return std::size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool WriteWhole(const fs::path& target, std::string_view bytes, mode_t newMode = 0644) {
  TAtomicFile file;
  return file.Begin(target, newMode) && file.WriteWhole(bytes);
}

TEST(AtomicFile, LinksAreWrittenThroughAndStayLinks) {
  TTestDir dir;
  fs::create_directory(dir / "real");
  std::ofstream(dir / "real/a.txt") << "old";
  fs::create_symlink("real/a.txt", dir / "one");
  fs::create_symlink(dir / "one", dir / "two");  // absolute, to a link
  fs::create_symlink("real/b.txt", dir / "dangling");
  ASSERT_TRUE(WriteWhole(dir / "two", "new") && WriteWhole(dir / "dangling", "made"));
  for (const char* link : {"one", "two", "dangling"}) EXPECT_TRUE(fs::is_symlink(dir / link)) << link;
  EXPECT_EQ(Read(dir / "real/a.txt"), "new");
  EXPECT_EQ(Read(dir / "real/b.txt"), "made");
  EXPECT_EQ(Entries(dir / "real"), 2u) << "no temporary left";

  fs::create_symlink("loop-b", dir / "loop-a");
  fs::create_symlink("loop-a", dir / "loop-b");
  TAtomicFile loop;
  EXPECT_FALSE(loop.Begin(dir / "loop-a"));
  EXPECT_EQ(loop.Error().Errno, ELOOP);
}

// As root, giving the file away shows that the owner is kept, not just the mode.
TEST(AtomicFile, AReplacedFileKeepsOwnerAndModeAndANewOneFollowsTheUmask) {
  TTestDir dir;
  std::ofstream(dir / "kept") << "old";
  ::chmod((dir / "kept").c_str(), 0640);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((dir / "kept").c_str(), 65534, 65534), 0);
  }
  ASSERT_TRUE(WriteWhole(dir / "kept", "new"));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "kept").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 65534u);
  }

  const mode_t old = ::umask(027);
  const bool madeDefault = WriteWhole(dir / "default", "x");
  const bool madeOwn = WriteWhole(dir / "own", "x", 0600);
  ::umask(old);
  ASSERT_TRUE(madeDefault && madeOwn);
  EXPECT_EQ(ModeOf(dir / "default"), 0640u) << "0644 less the umask";
  EXPECT_EQ(ModeOf(dir / "own"), 0600u);
}

// A FIFO nobody reads would block an open for writing forever: reaching the
// end of this test at all shows that it is never opened.
TEST(AtomicFile, TargetsThatAreNotRegularFilesAreRefusedUnopened) {
  TTestDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", dir / "null");
  fs::create_directory(dir / "folder");
  for (const char* name : {"pipe", "null", "folder"}) {
    SCOPED_TRACE(name);
    TAtomicFile file;
    EXPECT_FALSE(file.Begin(dir / name));
    EXPECT_EQ(file.Error().Fault, TAtomicFault::NotRegular);
    EXPECT_EQ(file.Fd(), -1);
  }
  EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
  EXPECT_TRUE(fs::is_symlink(dir / "null"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(Entries(dir.Path()), 3u);
}

TEST(AtomicFile, ReplacingAHardLinkedFileLeavesItsOtherNamesAlone) {
  TTestDir dir;
  std::ofstream(dir / "a") << "old";
  fs::create_hard_link(dir / "a", dir / "b");
  ASSERT_TRUE(WriteWhole(dir / "a", "new"));
  EXPECT_EQ(Read(dir / "a"), "new");
  EXPECT_EQ(Read(dir / "b"), "old");
}

// The table store creates files this way: an existing name is never
// replaced behind its back, and the caller still decides what to do.
TEST(AtomicFile, KeepExistingNeverReplacesAndLeavesTheChoiceToTheCaller) {
  TTestDir dir;
  TAtomicFile file;
  ASSERT_TRUE(file.Begin(dir / "taken") && file.Write("ours") && file.Flush());
  // Appeared after Begin: its mode passes on when it is replaced after all.
  std::ofstream(dir / "taken") << "theirs";
  ::chmod((dir / "taken").c_str(), 0600);
  EXPECT_FALSE(file.Place(TAtomicPlace::KeepExisting));
  EXPECT_EQ(file.Error().Fault, TAtomicFault::Exists);
  EXPECT_EQ(Read(dir / "taken"), "theirs");
  const std::string temp = file.TempPath();
  EXPECT_TRUE(IsAtomicTemporaryOf(fs::path(temp).filename().string(), "taken")) << temp;
  EXPECT_FALSE(IsAtomicTemporaryOf("taken.new-ABCDEFG", "taken"));
  EXPECT_FALSE(IsAtomicTemporaryOf("other.new-ABCDEF", "taken"));
  // A folder's keeper in another process sees that its writer lives.
  const pid_t child = ::fork();
  if (child == 0) {
    TUniqueFd other(::open(temp.c_str(), O_RDWR));
    ::_exit(other.Valid() && !TryLockByte(other.Get(), kWriterLockByte, TLockKind::Exclusive) ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0) << "the temporary is locked while it is written";
  ASSERT_TRUE(file.Place(TAtomicPlace::Replace));
  EXPECT_EQ(Read(dir / "taken"), "ours");
  EXPECT_EQ(ModeOf(dir / "taken"), 0600u);
  EXPECT_TRUE(file.FolderSynced());

  TAtomicFile fresh, dropped;
  ASSERT_TRUE(fresh.Begin(dir / "free") && fresh.Write("mine") && fresh.Place(TAtomicPlace::KeepExisting));
  EXPECT_GE(fresh.Fd(), 0) << "the new file stays open for the caller";
  EXPECT_EQ(Read(dir / "free"), "mine");
  ASSERT_TRUE(dropped.Begin(dir / "never") && dropped.Write("x"));
  dropped.Abandon();
  EXPECT_EQ(Entries(dir.Path()), 2u);
}

}  // namespace
}  // namespace kadrel
