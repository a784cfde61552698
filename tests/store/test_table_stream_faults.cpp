// Failing calls of every kind, injected through the TFileOps seam one at a
// time: Post, Delete, Pack, Close and CreateTable report them, put back what
// they had changed, and the object stays usable and truthful. (What a crash
// or a power cut at each call leaves is tested in test_table_stream_crash.)
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/uFileOps.h"
#include "tests/store/test_table_stream_util.h"

namespace kadrel {
namespace {

using testing::AddUser;
using testing::Bytes;
using testing::LiveNames;
using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

constexpr auto kRW = TTableStream::kModeReadWrite;
using Names = std::vector<std::string>;

// Fails call number FailAt (1-based, counting every call), and with Onward
// every call after it too, with an error, or for a write by writing only
// half of the bytes; records what was called.
class TFaultyOps : public TFileOps {
 public:
  int FailAt = 0;
  bool Onward = false;
  bool ShortWrite = false;
  int Calls = 0;
  std::vector<std::string> Log;

  ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
    if (Hit("write")) {
      if (!ShortWrite) return Error(EIO);
      return TFileOps::Write(fd, data, size / 2, offset);
    }
    return TFileOps::Write(fd, data, size, offset);
  }
  int Sync(int fd) override { return Hit("sync") ? Error(EIO) : TFileOps::Sync(fd); }
  int Truncate(int fd, off_t length) override {
    return Hit("truncate") ? Error(EIO) : TFileOps::Truncate(fd, length);
  }
  int Rename(const char* from, const char* to) override {
    return Hit("rename") ? Error(EXDEV) : TFileOps::Rename(from, to);
  }
  int Open(const char* path, int flags, mode_t mode) override {
    return Hit("open") ? Error(EACCES) : TFileOps::Open(path, flags, mode);
  }
  int Unlink(const char* path) override { return Hit("unlink") ? Error(EIO) : TFileOps::Unlink(path); }
  int Link(const char* from, const char* to) override {
    return Hit("link") ? Error(EIO) : TFileOps::Link(from, to);
  }

 private:
  bool Hit(const char* what) {
    Log.push_back(what);
    ++Calls;
    return Calls == FailAt || (Onward && FailAt > 0 && Calls > FailAt);
  }
  static int Error(int e) {
    errno = e;
    return -1;
  }
};

class TableStreamFaults : public ::testing::Test {
 protected:
  // u1..u6 with slots 2 and 5 deleted (free list 5 -> 2), closed.
  void SetUp() override {
    path_ = dir_.File("userdat.kd2");
    ASSERT_TRUE(testing::CreateUsers(path_));
    TTableStream t(path_, kRW);
    for (int i = 1; i <= 6; ++i) ASSERT_TRUE(AddUser(t, testing::Numbered("u", i), i));
    for (int k : {2, 5}) {
      t.First();
      ASSERT_TRUE(t.MoveBy(k - 1));
      ASSERT_TRUE(t.Delete());
    }
    ASSERT_TRUE(t.Close());
    original_ = ReadBytes(path_);
  }
  void Reset() { WriteBytes(path_, original_); }
  // Only the table itself is left in the folder.
  void ExpectNoTemporaryFiles() {
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) {
      EXPECT_EQ(e.path().filename(), "userdat.kd2");
    }
  }
  Names LiveNamesOnDisk() {
    TTableStream t(path_, TTableStream::kModeReadShared);
    EXPECT_TRUE(t.IsOpen()) << t.ErrorString();
    return LiveNames(t);
  }

  TTempDir dir_;
  std::string path_;
  Bytes original_;
  const Names live_ = {"u1", "u3", "u4", "u6"};
};

TEST_F(TableStreamFaults, PackMakesTheseCalls) {
  TFaultyOps ops;
  TTableStream t(path_, kRW);
  t.SetFileOps(&ops);
  ASSERT_TRUE(t.Pack()) << t.ErrorString();
  // Journal written and flushed with its folder, table rewritten in place and
  // cut, flushed, journal emptied and flushed (the commit), then removed.
  EXPECT_EQ(ops.Log, (std::vector<std::string>{"open", "write", "sync", "sync", "write", "truncate", "sync",
                                                "truncate", "sync", "unlink"}));
  ExpectNoTemporaryFiles();
}

// Runs `change` on an open table with call n failing, for every n the
// change makes, in both failure kinds; the file and the counts must be as
// before, no journal is left, and the table must then take the same change
// without faults. The last call removes the emptied journal after the
// commit: failing, it leaves an empty file, which is no journal. The table
// is a session's, which keeps what it reads in memory: that must follow.
template <class Change>
void EveryCallFails(const std::string& path, const Bytes& original, Change change) {
  int calls = 0;
  {
    WriteBytes(path, original);
    TTableStream t(path, kRW);
    TFaultyOps counting;
    t.SetFileOps(&counting);
    ASSERT_TRUE(change(t)) << t.ErrorString();
    calls = counting.Calls;
  }
  ASSERT_GT(calls, 3);
  for (bool shortWrite : {false, true}) {
    for (int n = 1; n <= calls; ++n) {
      SCOPED_TRACE("call " + std::to_string(n) + (shortWrite ? " short" : " error"));
      WriteBytes(path, original);
      TTableStream t(kRW);
      t.SetWaits({.Session = true});
      ASSERT_TRUE(t.Open(path));
      TFaultyOps ops;
      ops.FailAt = n;
      ops.ShortWrite = shortWrite;
      t.SetFileOps(&ops);
      const auto slots = t.RecordCount(), deleted = t.DeletedCount(), head = t.FreeListHead(),
                 appended = t.AppendedCount();
      if (n == calls) {
        EXPECT_TRUE(change(t)) << t.ErrorString();
        EXPECT_TRUE(!std::filesystem::exists(path + "-journal") || std::filesystem::file_size(path + "-journal") == 0);
        t.Close();
        TTableStream next(path, kRW);  // takes the empty journal away
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
        continue;
      }
      EXPECT_FALSE(change(t));
      EXPECT_FALSE(t.ErrorString().empty());
      EXPECT_EQ(ReadBytes(path), original);
      EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
      EXPECT_EQ(t.RecordCount(), slots);
      EXPECT_EQ(t.DeletedCount(), deleted);
      EXPECT_EQ(t.FreeListHead(), head);
      EXPECT_EQ(t.AppendedCount(), appended);
      t.SetFileOps(nullptr);
      EXPECT_TRUE(change(t)) << t.ErrorString();
    }
  }
}

// Every call failing from the n-th on, for every n: the old bytes cannot
// always be put back, and then the table refuses more changes and still
// reads as it was; the next open puts the old bytes back. Only when even
// the emptied journal cannot be made sure of may the change stand, and the
// failure says so.
TEST_F(TableStreamFaults, EveryCallFailingFromOneOnLeavesTheOldOrASaidState) {
  Bytes packed;
  int calls = 0;
  {
    TTableStream t(path_, kRW);
    TFaultyOps counting;
    t.SetFileOps(&counting);
    ASSERT_TRUE(t.Pack());
    calls = counting.Calls;
    packed = ReadBytes(path_);
  }
  int poisoned = 0;
  for (int n = 1; n < calls; ++n) {
    SCOPED_TRACE("failing from call " + std::to_string(n));
    Reset();
    bool mayStand = false;
    {
      TTableStream t(path_, kRW);
      TFaultyOps ops;
      ops.FailAt = n;
      ops.Onward = true;
      t.SetFileOps(&ops);
      EXPECT_FALSE(t.Pack());
      mayStand = t.ErrorString().find("may have been saved") != std::string::npos;
      EXPECT_EQ(LiveNames(t), live_);
      EXPECT_EQ(t.RecordCount(), 6);
      t.SetFileOps(nullptr);
      t.First();
      if (!(t.Edit() && t.Post())) {  // a change of no byte: refused only when poisoned
        EXPECT_EQ(t.Error().Damage, TDamage::CannotUndo) << t.ErrorString();
        ++poisoned;
      }
    }
    TTableStream again(path_, kRW);
    ASSERT_TRUE(again.IsOpen()) << again.ErrorString();
    ASSERT_TRUE(again.Close());
    const Bytes found = ReadBytes(path_);
    EXPECT_TRUE(found == original_ || (mayStand && found == packed));
    ExpectNoTemporaryFiles();
  }
  EXPECT_GT(poisoned, 0);
}

TEST_F(TableStreamFaults, Pack) {
  EveryCallFails(path_, original_, [](TTableStream& t) {
    bool ok = t.Pack();
    EXPECT_EQ(LiveNames(t), (Names{"u1", "u3", "u4", "u6"}));
    return ok;
  });
  ExpectNoTemporaryFiles();
}

TEST_F(TableStreamFaults, PostOfANewRecordAtTheEnd) {
  TTableStream t(path_, kRW);
  ASSERT_TRUE(AddUser(t, "a"));
  ASSERT_TRUE(AddUser(t, "b"));
  ASSERT_TRUE(t.Close());
  Bytes noFreeSlots = ReadBytes(path_);
  EveryCallFails(path_, noFreeSlots, [](TTableStream& t) { return AddUser(t, "c"); });
  TTableStream after(path_, kRW);
  EXPECT_EQ(after.RecordCount(), 7);
}

TEST_F(TableStreamFaults, PostIntoAFreeSlot) {
  EveryCallFails(path_, original_, [](TTableStream& t) {
    bool ok = AddUser(t, "reused");
    EXPECT_TRUE(!ok || t.CurrentSlot() == 5);
    return ok;
  });
}

TEST_F(TableStreamFaults, PostOfAnEdit) {
  EveryCallFails(path_, original_, [](TTableStream& t) {
    t.First();
    if (!t.Edit() || !t.SetText(0, "edited")) return false;
    bool ok = t.Post();
    // The retry's Edit proves the table is back in browse state.
    EXPECT_EQ(t.FieldByName("Name").AsString(), ok ? "edited" : "u1") << "the buffer shows the file";
    return ok;
  });
}

TEST_F(TableStreamFaults, Delete) {
  EveryCallFails(path_, original_, [](TTableStream& t) {
    t.First();
    bool ok = t.Delete();
    EXPECT_EQ(t.IsDeleted(), ok);
    return ok;
  });
}

TEST_F(TableStreamFaults, CloseOfAChangedFieldList) {
  Bytes empty;
  {
    ASSERT_TRUE(testing::CreateUsers(path_));
    empty = ReadBytes(path_);
  }
  EveryCallFails(path_, empty, [](TTableStream& t) {
    if (!t.IsOpen() && !t.Open()) return false;
    t.Fields().Remove(3);
    bool ok = t.Close();
    EXPECT_FALSE(t.IsOpen());
    return ok;
  });
  TTableStream t(path_, kRW);
  EXPECT_EQ(t.Fields().Count(), 3);
}

TEST_F(TableStreamFaults, CreateTableKeepsTheOldFileUntilTheNewOneIsWhole) {
  int calls = 0;
  for (int n = 1; calls == 0 || n <= calls; ++n) {
    SCOPED_TRACE("call " + std::to_string(n));
    Reset();
    TFaultyOps ops;
    ops.FailAt = n;
    TTableStream t(kRW);
    t.SetFileOps(&ops);
    bool ok = t.CreateTable(path_);
    testing::AddUserFields(t.Fields());
    ok = t.Close() && ok;
    if (ok) {  // past the last call: count them
      calls = n - 1;
      break;
    }
    EXPECT_FALSE(t.IsOpen());
    EXPECT_EQ(ReadBytes(path_), original_);
    ExpectNoTemporaryFiles();
  }
  EXPECT_GE(calls, 4) << "create, write, flush, rename, flush the folder";
  EXPECT_EQ(ReadBytes(path_).size(), 192u);
}

}  // namespace
}  // namespace kadrel
