// The cost of one record change now that every change goes through the
// rollback journal: an edit (the slot rewritten in place) and a new record
// (the table grows), on tmpfs (/dev/shm, where fsync costs nothing) and on
// the disk of the temporary folder. Goal: at most four syncs per change;
// the "fsyncs" counter gives them per change, "calls" every file call.
// BM_Crc64 is what a writer's first change costs per byte of its table.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/uFileOps.h"
#include "store/uJournal.h"
#include "store/uTableStream.h"

namespace {

using kadrel::TTableStream;

class TCountingOps : public kadrel::TFileOps {
 public:
  int Syncs = 0;
  int Calls = 0;
  ssize_t Write(int fd, const void* d, std::size_t n, off_t at) override { return ++Calls, TFileOps::Write(fd, d, n, at); }
  int Sync(int fd) override { return ++Calls, ++Syncs, TFileOps::Sync(fd); }
  int Truncate(int fd, off_t n) override { return ++Calls, TFileOps::Truncate(fd, n); }
  int Open(const char* p, int f, mode_t m) override { return ++Calls, TFileOps::Open(p, f, m); }
  int Unlink(const char* p) override { return ++Calls, TFileOps::Unlink(p); }
};

// A users table of 50 records in a fresh folder under `base`.
class TTable {
 public:
  explicit TTable(const std::filesystem::path& base) {
    std::string pattern = (base / "kadrel-bench-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data()) ? pattern : std::string(".");
    path_ = dir_ + "/userdat.kd2";
    TTableStream t(TTableStream::kModeReadWrite);
    t.CreateTable(path_);
    t.Fields().AddField("Name", 3, 10);
    t.Fields().AddField("ShiftID", 1);
    t.Fields().AddField("Start", 4);
    t.Fields().AddField("FirstID", 1);
    t.Close();
    t.Open(path_);
    for (int i = 0; i < 50; ++i) Add(t, i);
  }
  ~TTable() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  static bool Add(TTableStream& t, int i) {
    return t.Append() && t.SetText(0, "user" + std::to_string(i % 100000)) && t.SetInteger(1, i) &&
           t.SetFloat(2, 37627.0) && t.SetInteger(3, 0) && t.Post();
  }
  const std::string& Path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

std::filesystem::path Base(bool tmpfs) {
  return tmpfs ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
}

void Report(benchmark::State& state, const TCountingOps& ops, std::int64_t changes) {
  state.counters["fsyncs"] = static_cast<double>(ops.Syncs) / static_cast<double>(changes);
  state.counters["calls"] = static_cast<double>(ops.Calls) / static_cast<double>(changes);
}

void BM_EditRecord(benchmark::State& state) {
  TTable table(Base(state.range(0) != 0));
  TTableStream t(table.Path(), TTableStream::kModeReadWrite);
  TCountingOps ops;
  t.SetFileOps(&ops);
  std::int64_t n = 0;
  for (auto _ : state) {
    t.First();
    bool ok = t.MoveBy(static_cast<std::int32_t>(n % 49)) || n % 49 == 0;
    ok = ok && t.Edit() && t.SetInteger(1, static_cast<std::int32_t>(1000 + n)) && t.Post();
    if (!ok) state.SkipWithError("the edit failed");
    ++n;
  }
  Report(state, ops, n);
}
BENCHMARK(BM_EditRecord)->ArgName("tmpfs")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_AddRecord(benchmark::State& state) {
  TTable table(Base(state.range(0) != 0));
  TTableStream t(table.Path(), TTableStream::kModeReadWrite);
  TCountingOps ops;
  t.SetFileOps(&ops);
  std::int64_t n = 0;
  for (auto _ : state) {
    if (!TTable::Add(t, static_cast<int>(50 + n))) state.SkipWithError("the new record failed");
    ++n;
  }
  Report(state, ops, n);
}
BENCHMARK(BM_AddRecord)->ArgName("tmpfs")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_Crc64(benchmark::State& state) {
  std::vector<unsigned char> table(static_cast<std::size_t>(state.range(0)));
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<unsigned char>(i * 131);
  for (auto _ : state) benchmark::DoNotOptimize(kadrel::Crc64(table.data(), table.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc64)->Arg(3100000)->Unit(benchmark::kMicrosecond);

}  // namespace
