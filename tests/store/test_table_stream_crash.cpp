// Every record-changing operation, stopped at each of its file calls as a
// kill would stop it, and cut off there by a power failure in every way the
// crash layer (crash_ops.h) allows: the next open finds the state before or
// after the change (or between two changes of a multi-step one), byte for
// byte, and leaves no journal or temporary file; a reader that comes first
// already sees that same state. A power cut once the change is reported
// done leaves its new state. The same for changes of two tables as one
// transaction, and the creation of two tables as one.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "platform/uClock.h"
#include "schedule/uScheduleFiles.h"
#include "store/uTransaction.h"
#include "tests/store/crash_ops.h"

namespace kadrel {
namespace {

using testing::AddUser;
using testing::Bytes;
using testing::ReadFolder;
using testing::TCrashOps;
using testing::TImage;
using testing::TTempDir;
using testing::WriteFolder;

constexpr auto kRW = TTableStream::kModeReadWrite;
constexpr auto kRead = TTableStream::kModeReadShared;
constexpr const char* kTable = "userdat.kd2";

using TStep = std::function<bool(TTableStream&, const std::string& path)>;

struct TCrashCase {
  const char* Name;
  std::function<void(const std::string& path)> Setup;
  std::vector<TStep> Steps;  // on one table object, stopping at the first that fails
  bool Creates = false;      // the next start creates the file if it is missing
};

void PrintTo(const TCrashCase& c, std::ostream* os) { *os << c.Name; }

std::string AsText(const Bytes& b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }

// All a reader can learn of a table.
std::string Dump(TTableStream& t) {
  std::string s = std::to_string(t.RecordCount()) + "/" + std::to_string(t.DeletedCount()) + "/" +
                  std::to_string(t.FreeListHead()) + "/" + std::to_string(t.AppendedCount()) + "/" +
                  std::to_string(t.DataStart()) + "/" + std::to_string(t.CreationDate()) + ":";
  for (int i = 0; i < t.Fields().Count(); ++i) s += t.Fields().Field(i).Name + ",";
  if (t.RecordCount() > 0) {
    for (t.First(); !t.Eof(); t.Next()) {
      const Bytes& b = t.FieldByIndex(0).Bytes();
      s += '|';
      s.append(reinterpret_cast<const char*>(b.data()), b.size());
    }
  }
  return s;
}

void Fill(const std::string& path, int users, std::initializer_list<int> deleted) {
  ASSERT_TRUE(testing::CreateUsers(path));
  TTableStream t(path, kRW);
  TTableTransaction all;
  all.Begin({&t});
  for (int i = 1; i <= users; ++i) ASSERT_TRUE(AddUser(t, testing::Numbered("u", i), i));
  ASSERT_TRUE(all.Commit()) << all.ErrorString();
  for (int k : deleted) {
    t.First();
    ASSERT_TRUE(k == 1 || t.MoveBy(k - 1));
    ASSERT_TRUE(t.Delete());
  }
}

bool Open(TTableStream& t, const std::string& path) { return t.Open(path); }

class TableStreamCrash : public ::testing::TestWithParam<TCrashCase> {
 protected:
  void SetUp() override { path_ = dir_.File(kTable); }

  // Runs the steps with `ops`; the table object dies with the scope, as the
  // process would.
  void Run(TCrashOps& ops, std::vector<TImage>* after = nullptr) {
    TTableStream t(kRW);
    t.SetFileOps(&ops);
    for (const auto& step : GetParam().Steps) {
      const bool ok = step(t, path_);
      if (after) {
        EXPECT_TRUE(ok) << t.ErrorString();
        after->push_back(ReadFolder(dir_.Path()));
      }
      if (!ok) return;
    }
  }

  // What the next start finds in `image`.
  void Check(const TImage& image) {
    WriteFolder(dir_.Path(), image);
    std::string seenByReader;
    auto it = image.find(kTable);
    if (it != image.end() && !it->second.empty()) {
      TTableStream r(path_, kRead);
      ASSERT_TRUE(r.IsOpen()) << r.ErrorString();
      seenByReader = Dump(r);
    }
    TTableStream w(kRW);
    TScheduleError error;
    if (GetParam().Creates) {
      ASSERT_TRUE(OpenOrCreateScheduleFile(w, TScheduleFile::User, path_, error)) << error.Text();
    } else {
      ASSERT_TRUE(w.Open(path_)) << w.ErrorString();
    }
    ASSERT_TRUE(w.Close()) << w.ErrorString();
    const TImage found = ReadFolder(dir_.Path());
    ASSERT_EQ(found.size(), 1u) << "no journal or temporary file is left";
    const Bytes& bytes = found.begin()->second;
    EXPECT_TRUE(allowed_.count(AsText(bytes))) << "neither the old nor the new state";
    if (!seenByReader.empty()) {
      TTableStream r(path_, kRead);
      EXPECT_EQ(seenByReader, Dump(r)) << "the reader saw another state than the writer keeps";
    }
  }

  TTempDir dir_;
  std::string path_;
  // As text: GCC 12 at -O3 warns falsely on ordering vectors of bytes.
  std::set<std::string> allowed_;
};

TEST_P(TableStreamCrash, EveryStopAndPowerCutLeavesTheOldOrTheNewState) {
  TClockOverride clock([] { return 45000.0; });
  GetParam().Setup(path_);
  const TImage before = ReadFolder(dir_.Path());
  if (auto it = before.find(kTable); it != before.end() && !it->second.empty()) allowed_.insert(AsText(it->second));

  TCrashOps counting(dir_.Path());
  std::vector<TImage> after;
  Run(counting, &after);
  for (const auto& image : after) allowed_.insert(AsText(image.at(kTable)));
  const int calls = counting.Calls();
  ASSERT_GT(calls, 0);
  // Reported done: no power cut takes it back.
  const std::set<std::string> any = allowed_;
  allowed_ = {AsText(after.back().at(kTable))};
  for (const auto& image : counting.PowerCutImages(24)) {
    SCOPED_TRACE("power cut after the change");
    Check(image);
    if (HasFatalFailure()) return;
  }
  allowed_ = any;

  std::size_t images = 0;
  for (int n = 1; n <= calls; ++n) {
    SCOPED_TRACE("stopped at call " + std::to_string(n) + " of " + std::to_string(calls));
    WriteFolder(dir_.Path(), before);
    TCrashOps ops(dir_.Path());
    ops.StopAt = n;
    Run(ops);
    std::vector<TImage> cut = ops.PowerCutImages(24);
    cut.insert(cut.begin(), ReadFolder(dir_.Path()));  // killed, no power cut
    for (const auto& image : cut) {
      Check(image);
      if (HasFatalFailure()) return;
    }
    images += cut.size();
  }
  RecordProperty("images", static_cast<int>(images));
}

const TCrashCase kCases[] = {
    {"InsertAtTheEnd", [](const std::string& p) { Fill(p, 3, {}); },
     {Open, [](TTableStream& t, const std::string&) { return AddUser(t, "new"); }}},
    {"InsertIntoAFreeSlot", [](const std::string& p) { Fill(p, 4, {2, 4}); },
     {Open, [](TTableStream& t, const std::string&) { return AddUser(t, "new"); }}},
    {"Edit", [](const std::string& p) { Fill(p, 3, {}); },
     {Open,
      [](TTableStream& t, const std::string&) {
        t.First();
        return t.MoveBy(1) && t.Edit() && t.SetText(0, "edited") && t.Post();
      }}},
    {"Delete", [](const std::string& p) { Fill(p, 3, {1}); },
     {Open,
      [](TTableStream& t, const std::string&) {
        t.First();
        return t.MoveBy(2) && t.Delete();
      }}},
    {"Pack", [](const std::string& p) { Fill(p, 6, {2, 5}); },
     {Open, [](TTableStream& t, const std::string&) { return t.Pack(); }}},
    // 125 users end 29 bytes short of the first sector's end: the new slot
    // spans two sectors, and the table grows into the second.
    {"InsertAcrossASectorsEnd", [](const std::string& p) { Fill(p, 125, {}); },
     {Open, [](TTableStream& t, const std::string&) { return AddUser(t, "new"); }}},
    {"PackOfThreeSectors", [](const std::string& p) { Fill(p, 300, {3, 140, 299}); },
     {Open, [](TTableStream& t, const std::string&) { return t.Pack(); }}},
    {"DeleteThenPack", [](const std::string& p) { Fill(p, 4, {}); },
     {Open,
      [](TTableStream& t, const std::string&) {
        t.First();
        return t.MoveBy(1) && t.Delete();
      },
      [](TTableStream& t, const std::string&) { return t.Pack(); }}},
    {"CloseWithAChangedFieldList", [](const std::string& p) { ASSERT_TRUE(testing::CreateUsers(p)); },
     {Open, [](TTableStream& t, const std::string&) { return t.Fields().Remove(3) && t.Close(); }}},
    {"CreateWhereNoFileIs", [](const std::string&) {},
     {[](TTableStream& t, const std::string& p) {
       TScheduleError error;
       return OpenOrCreateScheduleFile(t, TScheduleFile::User, p, error);
     }},
     true},
    {"CreateOverAnEmptyFile", [](const std::string& p) { testing::WriteBytes(p, {}); },
     {[](TTableStream& t, const std::string& p) {
       TScheduleError error;
       return OpenOrCreateScheduleFile(t, TScheduleFile::User, p, error);
     }},
     true},
    {"CreateTableReplacingATable", [](const std::string& p) { Fill(p, 2, {}); },
     {[](TTableStream& t, const std::string& p) {
       if (!t.CreateTable(p)) return false;
       testing::AddUserFields(t.Fields());
       return t.Close();
     }}},
};

INSTANTIATE_TEST_SUITE_P(Changes, TableStreamCrash, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TGroupCase {
  const char* Name;
  std::function<void(const std::string& a, const std::string& b)> Setup;
  std::function<bool(TCrashOps& ops, const std::string& a, const std::string& b)> Change;
};

void PrintTo(const TGroupCase& c, std::ostream* os) { *os << c.Name; }

class TransactionCrash : public ::testing::TestWithParam<TGroupCase> {
 protected:
  void SetUp() override {
    a_ = dir_.File("userdat.kd2");
    b_ = dir_.File("second.kd2");
  }
  // Both tables as readers find them: first straight away (through a hot
  // journal), then after the recovery every open that may write runs,
  // which must agree and leave nothing but the tables.
  std::string State(const TImage& image) {
    WriteFolder(dir_.Path(), image);
    const std::string seen = Read();
    TRecoveryReport report;
    TTableError error;
    const std::string paths[] = {a_, b_};
    EXPECT_TRUE(RecoverTables(paths, report, error)) << error.Text;
    const std::string state = Read();
    EXPECT_EQ(seen, state) << "a reader saw another state than the recovery kept";
    for (const auto& [name, bytes] : ReadFolder(dir_.Path())) {
      EXPECT_TRUE(name == "userdat.kd2" || name == "second.kd2") << name << " is left";
    }
    return state;
  }
  std::string Read() {
    std::string s;
    for (const std::string& path : {a_, b_}) {
      TTableStream r(kRead);
      if (!r.Open(path)) {
        EXPECT_EQ(r.Error().Errno, ENOENT) << r.ErrorString();
        s += "none;";
      } else {
        s += Dump(r) + ";";
      }
    }
    return s;
  }

  TTempDir dir_;
  std::string a_;
  std::string b_;
};

TEST_P(TransactionCrash, EveryStopAndPowerCutLeavesBothOldOrBothNew) {
  TClockOverride clock([] { return 45000.0; });
  GetParam().Setup(a_, b_);
  const TImage before = ReadFolder(dir_.Path());
  TCrashOps counting(dir_.Path());
  ASSERT_TRUE(GetParam().Change(counting, a_, b_));
  const TImage done = ReadFolder(dir_.Path());
  const std::vector<TImage> afterCommit = counting.PowerCutImages(24);
  const std::string oldState = State(before);
  const std::string newState = State(done);
  ASSERT_NE(oldState, newState);
  for (const auto& image : afterCommit) {
    SCOPED_TRACE("power cut after the commit");
    EXPECT_EQ(State(image), newState);
  }
  for (int n = 1; n <= counting.Calls(); ++n) {
    SCOPED_TRACE("stopped at call " + std::to_string(n) + " of " + std::to_string(counting.Calls()));
    WriteFolder(dir_.Path(), before);
    TCrashOps ops(dir_.Path());
    ops.StopAt = n;
    GetParam().Change(ops, a_, b_);
    std::vector<TImage> cut = ops.PowerCutImages(24);
    cut.insert(cut.begin(), ReadFolder(dir_.Path()));
    for (const auto& image : cut) {
      const std::string state = State(image);
      EXPECT_TRUE(state == oldState || state == newState) << state;
      if (HasFailure()) return;
    }
  }
}

const TGroupCase kGroupCases[] = {
    {"AUserAddedAndAnotherDeletedAndPacked",
     [](const std::string& a, const std::string& b) {
       Fill(a, 3, {});
       Fill(b, 4, {});
     },
     [](TCrashOps& ops, const std::string& a, const std::string& b) {
       TTableStream ta(kRW), tb(kRW);
       ta.SetFileOps(&ops);
       tb.SetFileOps(&ops);
       if (!ta.Open(a) || !tb.Open(b)) return false;
       TTableTransaction txn;
       txn.SetFileOps(&ops);
       txn.Begin({&ta, &tb});
       tb.First();
       const bool staged = AddUser(ta, "new") && tb.MoveBy(1) && tb.Delete() && tb.Pack();
       return txn.Commit() && staged;
     }},
    {"TwoTablesCreated", [](const std::string&, const std::string&) {},
     [](TCrashOps& ops, const std::string& a, const std::string& b) {
       TTableStream ta(kRW), tb(kRW);
       ta.SetFileOps(&ops);
       tb.SetFileOps(&ops);
       TTableTransaction txn;
       txn.SetFileOps(&ops);
       txn.Begin({&ta, &tb});
       for (auto [t, p] : {std::pair{&ta, a}, std::pair{&tb, b}}) {
         if (!t->CreateTable(p, TTableStream::TCreateMode::KeepExisting)) return false;
         testing::AddUserFields(t->Fields());
         if (!t->Close()) return false;
       }
       return txn.Commit();
     }},
};

INSTANTIATE_TEST_SUITE_P(Changes, TransactionCrash, ::testing::ValuesIn(kGroupCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// A CreateTable that replaces a table a crash left half-changed, itself cut
// off before the new file is in place: the old table is whole.
TEST(TableStreamCrashLayer, ReplacingATableUndoesAnInterruptedChangeFirst) {
  TTempDir dir;
  const std::string path = dir.File(kTable);
  Fill(path, 3, {});
  const Bytes old = testing::ReadBytes(path);
  {
    TCrashOps ops(dir.Path());
    ops.StopAt = 6;  // after the journal, its folder and the table's write: before the table's fsync
    TTableStream t(path, kRW);
    t.SetFileOps(&ops);
    EXPECT_FALSE(AddUser(t, "half"));
  }
  ASSERT_TRUE(std::filesystem::exists(path + "-journal"));
  ASSERT_NE(testing::ReadBytes(path), old);
  {
    TCrashOps ops(dir.Path());
    ops.StopAt = 100;  // nothing stops but the scope: the new file is never put in place
    TTableStream t(kRW);
    t.SetFileOps(&ops);
    ASSERT_TRUE(t.CreateTable(path)) << t.ErrorString();
  }
  EXPECT_EQ(testing::ReadBytes(path), old);
  EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

TEST(TableStreamCrashLayer, ACloseWithoutChangesMakesNoCall) {
  TTempDir dir;
  const std::string path = dir.File(kTable);
  Fill(path, 3, {2});
  TCrashOps ops(dir.Path());
  TTableStream t(kRW);
  t.SetFileOps(&ops);
  ASSERT_TRUE(t.Open(path));
  t.First();
  ASSERT_TRUE(t.Edit() && t.Post()) << "a Post that changes no byte";
  EXPECT_TRUE(t.Close());
  EXPECT_EQ(ops.Calls(), 0);
}

}  // namespace
}  // namespace kadrel
