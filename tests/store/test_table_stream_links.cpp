// Links, special files and strangers beside a table: a symlinked or
// hard-linked table stays the same file through every change, a FIFO never
// makes Open hang, and a journal that is not ours is refused, never applied.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "store/uJournal.h"
#include "tests/store/test_table_stream_util.h"

namespace kadrel {
namespace {

using testing::AddUser;
using testing::Bytes;
using testing::LiveNames;
using testing::ReadBytes;
using testing::TTempDir;
namespace fs = std::filesystem;

constexpr auto kRW = TTableStream::kModeReadWrite;
constexpr auto kRead = TTableStream::kModeReadShared;

TEST(TableStreamLinks, ASymlinkedOrHardLinkedTableStaysTheSameFile) {
  TTempDir dir;
  fs::create_directory(dir.Path() / "real");
  const std::string real = (dir.Path() / "real" / "userdat.kd2").string();
  ASSERT_TRUE(testing::CreateUsers(real));
  ::chmod(real.c_str(), 0640);
  fs::create_directory(dir.Path() / "data");
  const std::string link = (dir.Path() / "data" / "userdat.kd2").string();
  fs::create_symlink(real, link);
  fs::create_hard_link(real, dir.File("second.kd2"));
  struct stat before {};
  ASSERT_EQ(::stat(real.c_str(), &before), 0);
  {
    TTableStream t(link, kRW);
    ASSERT_TRUE(t.IsOpen()) << t.ErrorString();
    for (const char* name : {"a", "b", "c"}) ASSERT_TRUE(AddUser(t, name));
    t.First();
    ASSERT_TRUE(t.Delete());
    ASSERT_TRUE(t.Pack()) << t.ErrorString();
    TTableStream other(dir.File("second.kd2"), kRW);
    EXPECT_FALSE(other.IsOpen()) << "the other name is the same table, held by the same writer";
    ASSERT_TRUE(t.Close());
  }
  EXPECT_TRUE(fs::is_symlink(link));
  struct stat after {};
  ASSERT_EQ(::stat(real.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_nlink, 2u);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadBytes(dir.File("second.kd2")), ReadBytes(real));
  TTableStream r(link, kRead);
  EXPECT_EQ(LiveNames(r), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "real"), fs::directory_iterator()), 1);
}

TEST(TableStreamLinks, AFifoOrAFolderIsRefusedWithoutWaiting) {
  TTempDir dir;
  const std::string path = dir.File("userdat.kd2");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  for (auto mode : {kRead, kRW}) {
    TTableStream t(path, mode);
    EXPECT_FALSE(t.IsOpen());
    EXPECT_NE(t.ErrorString().find("not a regular file (a FIFO)"), std::string::npos) << t.ErrorString();
    EXPECT_EQ(t.Error().Kind, TTableFault::NotRegular);
    EXPECT_TRUE(S_ISFIFO(t.Error().FileType));
  }
  TTableStream creator(kRW);
  EXPECT_FALSE(creator.CreateTable(path)) << "a FIFO is not replaced by a table";
  EXPECT_TRUE(fs::is_fifo(path));
}

// Whole journals, checksums right, that are not this table's: one that
// would cut off what it does not hold, one written for another table (a
// backup put back over the table, say). Neither is applied.
TEST(TableStreamLinks, AJournalThatIsNotOursIsRefusedAndLeftAlone) {
  TTempDir dir;
  const std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(testing::CreateUsers(path));
  const Bytes table = ReadBytes(path);
  TJournal gap;
  gap.OldLength = static_cast<std::int64_t>(table.size()) + 100;
  gap.OldCrc = 1;
  TJournal foreign;
  foreign.OldLength = 10;
  foreign.OldCrc = Crc64(Bytes(10, 1).data(), 10);  // written for a table of ten bytes of 1
  foreign.Regions.push_back({0, Bytes(10, 0)});
  for (const TJournal& j : {gap, foreign}) {
    const Bytes bytes = EncodeJournal(j);
    testing::WriteBytes(JournalPath(path), bytes);
    for (auto mode : {kRead, kRW}) {
      TTableStream t(path, mode);
      EXPECT_FALSE(t.IsOpen());
      EXPECT_NE(t.ErrorString().find("does not belong to this table"), std::string::npos) << t.ErrorString();
    }
    EXPECT_EQ(ReadBytes(path), table);
    EXPECT_EQ(ReadBytes(JournalPath(path)), bytes);
  }
  fs::remove(JournalPath(path));
  fs::create_symlink(path, JournalPath(path));
  TTableStream linked(path, kRead);
  EXPECT_FALSE(linked.IsOpen());
  EXPECT_NE(linked.ErrorString().find("is a symbolic link"), std::string::npos) << linked.ErrorString();
}

}  // namespace
}  // namespace kadrel
