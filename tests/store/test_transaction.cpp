// Changes of several tables as one: the objects see their own changes, no
// other reader does before the commit; a rollback or a failed commit leaves
// every table as it was, on disk and in its object; creating tables links
// all of them or none. Recovery undoes a hot journal at once and clears
// what a crash left, but leaves a live writer's table alone, and takes a
// journal of many new records only when it says how long they made the
// table. (Crashes and power cuts at every call are in test_table_stream_crash.)
#include "store/uTransaction.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/store/crash_ops.h"

namespace kadrel {
namespace {

using testing::AddUser;
using testing::Bytes;
using testing::LiveNames;
using testing::ReadBytes;
using testing::TTempDir;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr auto kRW = TTableStream::kModeReadWrite;
constexpr auto kRead = TTableStream::kModeReadShared;

class TCountingOps : public TFileOps {
 public:
  int Syncs = 0;
  int FailWriteAt = 0;  // the n-th write fails
  int Writes = 0;
  int Sync(int fd) override { return ++Syncs, TFileOps::Sync(fd); }
  ssize_t Write(int fd, const void* data, std::size_t n, off_t at) override {
    if (++Writes == FailWriteAt) {
      errno = EIO;
      return -1;
    }
    return TFileOps::Write(fd, data, n, at);
  }
};

class Transaction : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& path : {a_, b_}) {
      ASSERT_TRUE(testing::CreateUsers(path));
      TTableStream t(path, kRW);
      for (const char* name : {"x", "y", "z"}) ASSERT_TRUE(AddUser(t, name));
    }
    before_ = {ReadBytes(a_), ReadBytes(b_)};
    ta_.SetWaits({.Session = true});  // one read from memory, the other from the file
    ASSERT_TRUE(ta_.Open(a_) && tb_.Open(b_));
  }
  // A new user in a, the second deleted from b and b packed.
  bool Change() {
    tb_.First();
    return AddUser(ta_, "new") && tb_.MoveBy(1) && tb_.Delete() && tb_.Pack();
  }
  Names Seen(const std::string& path) {
    TTableStream r(path, kRead);
    return LiveNames(r);
  }
  std::vector<std::string> Folder() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.Path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TTempDir dir_;
  const std::string a_ = dir_.File("a.kd2");
  const std::string b_ = dir_.File("b.kd2");
  std::vector<Bytes> before_;
  TTableStream ta_{kRW};
  TTableStream tb_{kRW};
};

TEST_F(Transaction, ChangesOfTwoTablesAreSeenByOthersOnlyOnceCommitted) {
  TCountingOps ops;
  ta_.SetFileOps(&ops);
  tb_.SetFileOps(&ops);
  TTableTransaction txn;
  txn.SetFileOps(&ops);
  ASSERT_TRUE(txn.Begin({&ta_, &tb_}));
  ASSERT_TRUE(Change()) << ta_.ErrorString() << tb_.ErrorString();
  EXPECT_EQ(LiveNames(ta_), (Names{"x", "y", "z", "new"}));
  EXPECT_EQ(LiveNames(tb_), (Names{"x", "z"}));
  EXPECT_EQ(Seen(b_), (Names{"x", "y", "z"})) << "nothing is written before the commit";
  EXPECT_EQ(ReadBytes(a_), before_[0]);
  EXPECT_EQ(ops.Syncs, 0);
  ASSERT_TRUE(txn.Commit()) << txn.ErrorString();
  EXPECT_EQ(ops.Syncs, 2 * 2 + 3) << "two journals, the record, the folder, two tables, the emptied record";
  EXPECT_EQ(Seen(a_), (Names{"x", "y", "z", "new"}));
  EXPECT_EQ(Seen(b_), (Names{"x", "z"}));
  EXPECT_EQ(Folder(), (std::vector<std::string>{"a.kd2", "b.kd2"}));
  ASSERT_TRUE(AddUser(ta_, "after")) << "the tables write at once again";
  EXPECT_EQ(Seen(a_).back(), "after");
}

TEST_F(Transaction, ARollbackOrAFailedCommitLeavesEveryTableAsItWas) {
  {
    TTableTransaction txn;
    ASSERT_TRUE(txn.Begin({&ta_, &tb_}));
    ASSERT_TRUE(Change());
  }  // rolled back
  EXPECT_EQ(LiveNames(ta_), (Names{"x", "y", "z"}));
  EXPECT_EQ(tb_.RecordCount(), 3);
  TCountingOps ops;
  ops.FailWriteAt = 4;  // two journals, the record, then the first table
  ta_.SetFileOps(&ops);
  tb_.SetFileOps(&ops);
  TTableTransaction txn;
  txn.SetFileOps(&ops);
  ASSERT_TRUE(txn.Begin({&ta_, &tb_}));
  ASSERT_TRUE(Change());
  EXPECT_FALSE(txn.Commit());
  EXPECT_NE(txn.ErrorString().find("nothing was changed"), std::string::npos) << txn.ErrorString();
  EXPECT_EQ(ReadBytes(a_), before_[0]);
  EXPECT_EQ(ReadBytes(b_), before_[1]);
  EXPECT_EQ(Folder(), (std::vector<std::string>{"a.kd2", "b.kd2"}));
  EXPECT_EQ(LiveNames(ta_), (Names{"x", "y", "z"}));
  EXPECT_EQ(tb_.RecordCount(), 3);
  EXPECT_EQ(tb_.DeletedCount(), 0);
}

TEST_F(Transaction, TablesAreCreatedAllOrNone) {
  const std::string c = dir_.File("c.kd2"), d = dir_.File("d.kd2");
  for (bool taken : {true, false}) {
    if (taken) testing::WriteBytes(d, {1, 2, 3});  // appeared meanwhile: kept
    TTableStream tc(kRW), td(kRW);
    TTableTransaction txn;
    ASSERT_TRUE(txn.Begin({&tc, &td}));
    for (auto [t, path] : {std::pair{&tc, c}, std::pair{&td, d}}) {
      ASSERT_TRUE(t->CreateTable(path, TTableStream::TCreateMode::KeepExisting));
      testing::AddUserFields(t->Fields());
      ASSERT_TRUE(t->Close());
    }
    EXPECT_FALSE(fs::exists(c)) << "not before the commit";
    EXPECT_EQ(txn.Commit(), !taken) << txn.ErrorString();
    if (taken) {
      EXPECT_EQ(txn.Error().Kind, TTableFault::Exists);
      EXPECT_FALSE(fs::exists(c));
      EXPECT_EQ(ReadBytes(d), (Bytes{1, 2, 3}));
      fs::remove(d);
    }
    EXPECT_EQ(Folder().size(), taken ? 2u : 4u) << "no temporary file, journal or record";
  }
  TTableStream r(c, kRead);
  EXPECT_TRUE(r.IsOpen()) << r.ErrorString();
}

// A new user written into the table, its journal still hot: the process
// died before the commit.
void Interrupt(const std::string& path) {
  testing::TCrashOps ops(fs::path(path).parent_path());
  ops.StopAt = 6;  // journal, its syncs, the table's write; then nothing more
  TTableStream t(path, kRW);
  t.SetFileOps(&ops);
  EXPECT_FALSE(AddUser(t, "lost"));
}

TEST_F(Transaction, RecoveryUndoesAtOnceWhatReadersReadThrough) {
  ta_.Close();
  tb_.Close();
  Interrupt(a_);
  ASSERT_NE(ReadBytes(a_), before_[0]);
  ASSERT_TRUE(fs::exists(a_ + "-journal"));
  TTableStream reader(a_, kRead);
  ASSERT_TRUE(reader.IsOpen()) << reader.ErrorString();
  EXPECT_TRUE(reader.ReadThroughJournal());
  EXPECT_EQ(LiveNames(reader), (Names{"x", "y", "z"}));
  testing::WriteBytes(a_ + ".new-ABCDEF", {});  // a creation a crash left
  TTableStream holder(b_, kRW);                  // a live writer, its journal its own business
  testing::WriteBytes(b_ + "-journal", {9});
  TRecoveryReport report;
  TTableError error;
  const std::string paths[] = {a_, b_, dir_.File("missing.kd2")};
  ASSERT_TRUE(RecoverTables(paths, report, error)) << error.Text;
  EXPECT_EQ(report.RolledBack, (std::vector<std::string>{"a.kd2"}));
  EXPECT_EQ(report.Removed, (std::vector<std::string>{"a.kd2.new-ABCDEF"}));
  EXPECT_EQ(report.Held, (std::vector<std::string>{"b.kd2"}));
  EXPECT_TRUE(fs::exists(b_ + "-journal"));
  EXPECT_FALSE(fs::exists(a_ + "-journal"));
  EXPECT_EQ(ReadBytes(a_), before_[0]);
  TTableStream after(a_, kRead);
  EXPECT_FALSE(after.ReadThroughJournal());
}

// One change of a transaction may add many records, and its journal, which
// states the length the change left, is still applied; a journal of the
// format before, which does not, keeps the rule that one change adds one
// record at most.
TEST(TransactionJournal, OnlyAJournalThatStatesItsLengthMayUndoAGrowthOfManyRecords) {
  TTempDir dir;
  const std::string path = dir.File("a.kd2"), journal = JournalPath(dir.File("a.kd2"));
  ASSERT_TRUE(testing::CreateUsers(path));
  {
    TTableStream t(path, kRW);
    for (const char* name : {"u1", "u2"}) ASSERT_TRUE(AddUser(t, name));
  }
  const Bytes before = ReadBytes(path);
  auto grow = [&](Names names) {
    testing::WriteBytes(path, before);
    TTableStream t(path, kRW);
    TTableTransaction txn;
    txn.Begin({&t});
    for (const std::string& name : names) EXPECT_TRUE(AddUser(t, name));
    EXPECT_TRUE(txn.Commit()) << txn.ErrorString();
    return ReadBytes(path);
  };
  TJournal j;
  j.OldLength = static_cast<std::int64_t>(before.size());
  j.OldCrc = Crc64(before.data(), before.size());
  j.Regions.push_back({0, before});
  for (bool stated : {true, false}) {
    for (const Names& added : {Names{"x"}, Names{"x", "y", "z"}}) {
      SCOPED_TRACE(std::to_string(added.size()) + (stated ? " added, new journal" : " added, old journal"));
      const Bytes grown = grow(added);
      j.NewLength = static_cast<std::int64_t>(grown.size());
      j.NewCrc = Crc64(grown.data(), grown.size());
      testing::WriteBytes(journal, stated ? EncodeJournal(j) : testing::EncodeOldJournal(j));
      const bool applies = stated || added.size() == 1;
      TTableStream t(path, kRW);
      EXPECT_EQ(t.IsOpen(), applies) << t.ErrorString();
      EXPECT_EQ(ReadBytes(path), applies ? before : grown);
      EXPECT_EQ(fs::exists(journal), !applies);
      if (!applies) {
        EXPECT_NE(t.ErrorString().find("grown by more than one change"), std::string::npos) << t.ErrorString();
      }
    }
  }
}

}  // namespace
}  // namespace kadrel
