// Failing writes, flushes, truncations and renames, injected through the
// TFileOps seam one call at a time: Post, Delete and Close report them, Pack
// never loses the table, and the object stays usable and truthful.
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

// Fails call number FailAt (1-based, counting every call) with an error, or
// for a write by writing only half of the bytes; records what was called.
class TFaultyOps : public TFileOps {
 public:
  int FailAt = 0;
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

 private:
  bool Hit(const char* what) {
    Log.push_back(what);
    return ++Calls == FailAt;
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
  EXPECT_EQ(ops.Log, (std::vector<std::string>{"write", "write", "sync", "rename", "sync"}));
}

TEST_F(TableStreamFaults, EachFailingStepOfPackLeavesTheTableWhole) {
  TFaultyOps counting;
  {
    TTableStream t(path_, kRW);
    t.SetFileOps(&counting);
    ASSERT_TRUE(t.Pack());
  }
  const int calls = counting.Calls;
  for (bool shortWrite : {false, true}) {
    for (int n = 1; n <= calls; ++n) {
      SCOPED_TRACE("call " + std::to_string(n) + (shortWrite ? " short" : " error"));
      Reset();
      TFaultyOps ops;
      ops.FailAt = n;
      ops.ShortWrite = shortWrite;
      TTableStream t(path_, kRW);
      ASSERT_TRUE(t.IsOpen());
      t.SetFileOps(&ops);
      EXPECT_FALSE(t.Pack());
      EXPECT_FALSE(t.ErrorString().empty());
      const bool renamed = n == calls;  // only the folder's flush comes after the rename
      if (shortWrite && ops.Log[static_cast<std::size_t>(n - 1)] != "write") continue;
      if (!renamed) {
        EXPECT_EQ(ReadBytes(path_), original_) << "the original is untouched";
        EXPECT_EQ(t.RecordCount(), 6);
        EXPECT_EQ(t.DeletedCount(), 2);
      } else {
        EXPECT_EQ(t.RecordCount(), 4) << "the packed table is complete and in place";
      }
      ExpectNoTemporaryFiles();
      // The object stays usable: it reads and writes the table it has.
      EXPECT_EQ(LiveNames(t), live_);
      ASSERT_TRUE(AddUser(t, "new")) << t.ErrorString();
      EXPECT_EQ(t.CurrentSlot(), 5) << "the head of the free list, or the end of the packed table";
      EXPECT_TRUE(t.Close());
      Names expected = live_;
      expected.insert(expected.begin() + (renamed ? 4 : 3), "new");
      EXPECT_EQ(LiveNamesOnDisk(), expected);
    }
  }
}

TEST_F(TableStreamFaults, APackThatFailsCanBeRetried) {
  TFaultyOps ops;
  ops.FailAt = 4;  // the rename
  TTableStream t(path_, kRW);
  t.SetFileOps(&ops);
  EXPECT_FALSE(t.Pack());
  EXPECT_NE(t.ErrorString().find("renaming"), std::string::npos) << t.ErrorString();
  EXPECT_TRUE(t.Pack()) << t.ErrorString();
  EXPECT_EQ(t.RecordCount(), 4);
  EXPECT_EQ(LiveNames(t), live_);
  ExpectNoTemporaryFiles();
}

// Runs `change` on an open table with call n failing, for every n the
// change makes, in both failure kinds; the file and the counts must be as
// before, and the table must then take the same change without faults.
template <class Change>
void EveryCallFails(const std::string& path, const Bytes& original, Change change,
                    int calls) {
  for (bool shortWrite : {false, true}) {
    for (int n = 1; n <= calls; ++n) {
      SCOPED_TRACE("call " + std::to_string(n) + (shortWrite ? " short" : " error"));
      WriteBytes(path, original);
      TTableStream t(path, kRW);
      ASSERT_TRUE(t.IsOpen());
      TFaultyOps ops;
      ops.FailAt = n;
      ops.ShortWrite = shortWrite;
      t.SetFileOps(&ops);
      const auto slots = t.RecordCount(), deleted = t.DeletedCount(), head = t.FreeListHead(),
                 appended = t.AppendedCount();
      EXPECT_FALSE(change(t));
      EXPECT_FALSE(t.ErrorString().empty());
      EXPECT_EQ(ReadBytes(path), original);
      EXPECT_EQ(t.RecordCount(), slots);
      EXPECT_EQ(t.DeletedCount(), deleted);
      EXPECT_EQ(t.FreeListHead(), head);
      EXPECT_EQ(t.AppendedCount(), appended);
      t.SetFileOps(nullptr);
      EXPECT_TRUE(change(t)) << t.ErrorString();
    }
  }
}

TEST_F(TableStreamFaults, PostOfANewRecordAtTheEnd) {
  TTableStream t(path_, kRW);
  ASSERT_TRUE(AddUser(t, "a"));
  ASSERT_TRUE(AddUser(t, "b"));
  ASSERT_TRUE(t.Close());
  Bytes noFreeSlots = ReadBytes(path_);
  EveryCallFails(path_, noFreeSlots, [](TTableStream& t) { return AddUser(t, "c"); }, 3);
  TTableStream after(path_, kRW);
  EXPECT_EQ(after.RecordCount(), 7);
}

TEST_F(TableStreamFaults, PostIntoAFreeSlot) {
  EveryCallFails(path_, original_, [](TTableStream& t) {
    bool ok = AddUser(t, "reused");
    EXPECT_TRUE(!ok || t.CurrentSlot() == 5);
    return ok;
  }, 3);
}

TEST_F(TableStreamFaults, PostOfAnEdit) {
  for (int n = 1; n <= 6; ++n) {
    Reset();
    TFaultyOps ops;
    ops.FailAt = (n - 1) % 3 + 1;
    ops.ShortWrite = n > 3;
    TTableStream t(path_, kRW);
    t.SetFileOps(&ops);
    t.First();
    ASSERT_TRUE(t.Edit() && t.SetText(0, "edited"));
    EXPECT_FALSE(t.Post()) << n;
    EXPECT_EQ(ReadBytes(path_), original_) << n;
    EXPECT_EQ(t.FieldByName("Name").AsString(), "u1");
    EXPECT_TRUE(t.Edit()) << "back in browse state";
    ASSERT_TRUE(t.SetText(0, "edited"));
    t.SetFileOps(nullptr);
    EXPECT_TRUE(t.Post());
    EXPECT_EQ(t.FieldByName("Name").AsString(), "edited");
  }
}

TEST_F(TableStreamFaults, Delete) {
  EveryCallFails(path_, original_, [](TTableStream& t) {
    t.First();
    bool ok = t.Delete();
    EXPECT_EQ(t.IsDeleted(), ok);
    return ok;
  }, 3);
}

TEST_F(TableStreamFaults, CloseReportsAFailedWriteOrFlush) {
  for (int n = 1; n <= 3; ++n) {
    Reset();
    TFaultyOps ops;
    ops.FailAt = n;
    TTableStream t(path_, kRW);
    t.SetFileOps(&ops);
    EXPECT_FALSE(t.Close()) << n;
    EXPECT_FALSE(t.IsOpen());
    EXPECT_EQ(ops.Log.size(), static_cast<std::size_t>(n)) << "field table, header, flush; stops at the failure";
    EXPECT_EQ(ReadBytes(path_), original_) << "Close rewrites the same bytes";
  }
}

TEST_F(TableStreamFaults, CreateTableReportsAFailedTruncation) {
  TFaultyOps ops;
  ops.FailAt = 1;
  TTableStream t(kRW);
  t.SetFileOps(&ops);
  EXPECT_FALSE(t.CreateTable(path_));
  EXPECT_FALSE(t.IsOpen());
  EXPECT_EQ(ReadBytes(path_), original_);
}

}  // namespace
}  // namespace kadrel
