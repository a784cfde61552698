// Links, special files and strangers beside a table: a symlinked or
// hard-linked table stays the same file through every change, a FIFO never
// makes Open hang, a file renamed over an open table is never written to,
// and a journal that is not ours is refused, never applied.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "store/uJournal.h"
#include "store/uTransaction.h"
#include "tests/store/crash_ops.h"

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

// A file renamed over the table while it is open (a sync tool, an editor, a
// restore): no change reaches either file, and the change says why.
TEST(TableStreamLinks, AFileRenamedOverAnOpenTableIsNeverWrittenTo) {
  TTempDir dir;
  const std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(testing::CreateUsers(path));
  TTableStream t(path, kRW);
  ASSERT_TRUE(AddUser(t, "a"));
  fs::create_hard_link(path, dir.File("opened"));
  fs::copy_file(path, dir.File("copy"));
  ASSERT_TRUE(AddUser(*std::make_unique<TTableStream>(dir.File("copy"), kRW), "other"));
  fs::rename(dir.File("copy"), path);
  const Bytes replaced = ReadBytes(path), opened = ReadBytes(dir.File("opened"));
  EXPECT_FALSE(AddUser(t, "b"));
  EXPECT_EQ(t.Error().Kind, TTableFault::Moved) << t.ErrorString();
  EXPECT_EQ(ReadBytes(path), replaced);
  EXPECT_EQ(ReadBytes(dir.File("opened")), opened);
  EXPECT_EQ(LiveNames(t), (std::vector<std::string>{"a"}));
  EXPECT_FALSE(fs::exists(JournalPath(path)));
}

// Whole journals, checksums right, that the table as it is cannot have come
// from: the hot journal of an interrupted change beside a copy of the table
// that got two more users since (in this version's format and the one
// before), one written for a table of ten bytes, a forgery that would cut
// the table to its first 64 bytes, and a file of 1000 MiB that is not a
// journal at all (refused from its header, unread). None is applied; the
// refusal says what to do; table and journal stay as they are.
TEST(TableStreamLinks, AJournalThatIsNotOursIsRefusedAndLeftAlone) {
  TTempDir dir;
  const std::string path = dir.File("userdat.kd2");
  const std::string journal = JournalPath(path);
  ASSERT_TRUE(testing::CreateUsers(path));
  {
    TTableStream t(path, kRW);
    for (const char* name : {"u1", "u2", "u3"}) ASSERT_TRUE(AddUser(t, name));
  }
  const Bytes before = ReadBytes(path);
  {
    testing::TCrashOps ops(dir.Path());
    ops.StopAt = 5;  // the journal of adding u4 is whole, the table not yet touched
    TTableStream t(path, kRW);
    t.SetFileOps(&ops);
    EXPECT_FALSE(AddUser(t, "u4"));
  }
  const Bytes hot = ReadBytes(journal);
  fs::remove(journal);
  {
    TTableStream t(path, kRW);
    for (const char* name : {"v1", "v2"}) ASSERT_TRUE(AddUser(t, name));
  }
  const Bytes grown = ReadBytes(path);
  TJournal old;
  old.OldLength = static_cast<std::int64_t>(before.size());
  old.OldCrc = Crc64(before.data(), before.size());
  old.Regions.push_back({0, Bytes(before.begin(), before.begin() + 32)});
  TJournal forged;
  forged.OldLength = 64;
  forged.OldCrc = Crc64(grown.data(), 64);
  TJournal foreign;
  foreign.OldLength = 10;
  foreign.NewLength = static_cast<std::int64_t>(grown.size());
  foreign.OldCrc = Crc64(Bytes(10, 1).data(), 10);
  foreign.Regions.push_back({0, Bytes(10, 1)});
  for (const Bytes& bytes :
       {hot, testing::EncodeOldJournal(old), testing::EncodeOldJournal(forged), EncodeJournal(foreign), Bytes{}}) {
    if (bytes.empty()) {
      fs::remove(journal);
      testing::WriteBytes(journal, {});
      fs::resize_file(journal, std::uintmax_t{1000} << 20);
    } else {
      testing::WriteBytes(journal, bytes);
    }
    const auto size = fs::file_size(journal);
    for (auto mode : {kRead, kRW}) {
      TTableStream t(path, mode);
      EXPECT_FALSE(t.IsOpen());
      EXPECT_EQ(t.Error().Damage, TDamage::Journal);
      EXPECT_NE(t.ErrorString().find("does not belong to this table"), std::string::npos) << t.ErrorString();
      EXPECT_NE(t.ErrorString().find("move the journal away"), std::string::npos) << t.ErrorString();
    }
    EXPECT_EQ(ReadBytes(path), grown);
    EXPECT_EQ(fs::file_size(journal), size);
  }
  fs::remove(journal);
  fs::create_symlink(path, journal);
  TTableStream linked(path, kRead);
  EXPECT_FALSE(linked.IsOpen());
  EXPECT_NE(linked.ErrorString().find("is a symbolic link"), std::string::npos) << linked.ErrorString();
}

// A new table never takes a name that holds something, except the empty
// file an interrupted creation of an older version leaves (whose mode it
// takes on), alone or in a transaction; and a link to a missing file is not
// followed to make what it names.
TEST(TableStreamLinks, ACreationTakesOnlyAnEmptyLeftoversNameAndNoDanglingLink) {
  TTempDir dir;
  auto create = [](const std::string& path, TTableTransaction* txn) {
    TTableStream t(kRW);
    if (txn) txn->Begin({&t});
    bool ok = t.CreateTable(path, TTableStream::TCreateMode::KeepExisting);
    testing::AddUserFields(t.Fields());
    ok = t.Close() && ok;
    return txn ? txn->Commit() && ok : ok;
  };
  for (bool inTransaction : {false, true}) {
    SCOPED_TRACE(inTransaction ? "in a transaction" : "alone");
    TTableTransaction txn;
    TTableTransaction* held = inTransaction ? &txn : nullptr;
    const std::string leftover = dir.File("left.kd2"), stranger = dir.File("stranger.kd2");
    testing::WriteBytes(leftover, {});
    ::chmod(leftover.c_str(), 0600);
    EXPECT_TRUE(create(leftover, held));
    EXPECT_EQ(fs::file_size(leftover), 192u);
    struct stat st {};
    ASSERT_EQ(::stat(leftover.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    testing::WriteBytes(stranger, {7});
    EXPECT_FALSE(create(stranger, held));
    EXPECT_EQ(ReadBytes(stranger), Bytes{7});
    fs::create_symlink("missing.kd2", dir.File("dangling.kd2"));
    EXPECT_FALSE(create(dir.File("dangling.kd2"), held));
    EXPECT_FALSE(fs::exists(dir.File("missing.kd2")));
    for (const char* name : {"left.kd2", "stranger.kd2", "dangling.kd2"}) fs::remove(dir.File(name));
    EXPECT_TRUE(fs::is_empty(dir.Path())) << "no temporary, journal or record is left";
  }
}

}  // namespace
}  // namespace kadrel
