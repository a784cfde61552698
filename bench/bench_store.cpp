// Table stream benchmarks. The goal for the search:
// LocateText over a 100,000-slot users file within 3x the time of reading that
// file once sequentially, both measured in the same run. BM_LocateText reports
// the ratio as its "x_sequential_read" counter.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/uFileOps.h"
#include "store/uTableStream.h"
#include "store/uTransaction.h"

namespace {

using kadrel::TTableStream;
constexpr int kUsers = 100000;

// A users table (the schedule files' schema) of kUsers records named "user0".."user99999",
// made once per run in a temporary folder.
class TUsersFile {
 public:
  TUsersFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kadrel-bench-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data()) ? pattern : std::string(".");
    path_ = (std::filesystem::path(dir_) / "userdat.kd2").string();
    TTableStream t(TTableStream::kModeReadWrite);
    t.CreateTable(path_);
    t.Fields().AddField("Name", 3, 10);
    t.Fields().AddField("ShiftID", 1);
    t.Fields().AddField("Start", 4);
    t.Fields().AddField("FirstID", 1);
    t.Close();
    t.Open(path_);
    kadrel::TTableTransaction all;  // one change: minutes otherwise
    all.Begin({&t});
    for (int i = 0; i < kUsers; ++i) {
      t.Append();
      t.SetText(0, "user" + std::to_string(i));
      t.SetInteger(1, i % 7);
      t.SetFloat(2, 37627.0 + i);
      t.SetInteger(3, i % 5);
      t.Post();
    }
    all.Commit();
    t.Close();
  }
  ~TUsersFile() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

const TUsersFile& Users() {
  static TUsersFile file;
  return file;
}

// One sequential read of the whole file through an open descriptor.
std::size_t ReadOnce(int fd) {
  static std::vector<char> buffer(64 * 1024);
  std::size_t total = 0;
  ::lseek(fd, 0, SEEK_SET);
  for (ssize_t r; (r = ::read(fd, buffer.data(), buffer.size())) > 0;) total += static_cast<std::size_t>(r);
  return total;
}

double SecondsOf(auto&& f, int times) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < times; ++i) f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / times;
}

void BM_SequentialRead(benchmark::State& state) {
  int fd = ::open(Users().Path().c_str(), O_RDONLY | O_CLOEXEC);
  for (auto _ : state) benchmark::DoNotOptimize(ReadOnce(fd));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(Users().Path())));
  ::close(fd);
}
BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMicrosecond);

// LocateText against one sequential read of the same file, both timed here,
// alternately, so that they share the machine's state. The ratio is the goal.
void LocateAgainstRead(benchmark::State& state, std::string_view name) {
  TTableStream t(Users().Path(), TTableStream::kModeReadShared);
  for (auto _ : state) benchmark::DoNotOptimize(t.LocateText("Name", name));
  int fd = ::open(Users().Path().c_str(), O_RDONLY | O_CLOEXEC);
  double read = 1e9;
  double locate = 1e9;
  for (int round = 0; round < 5; ++round) {
    read = std::min(read, SecondsOf([&] { benchmark::DoNotOptimize(ReadOnce(fd)); }, 20));
    locate = std::min(locate, SecondsOf([&] { benchmark::DoNotOptimize(t.LocateText("Name", name)); }, 20));
  }
  ::close(fd);
  state.counters["x_sequential_read"] = locate / read;
  state.counters["slots"] = t.RecordCount();
}

// A name that is not there: every slot is examined, most rejected at once.
void BM_LocateText(benchmark::State& state) { LocateAgainstRead(state, "nobody"); }
BENCHMARK(BM_LocateText)->Unit(benchmark::kMicrosecond);

// The worst case: the last user, in other letter case, whose name shares
// its first bytes with every other name, so every slot is compared at length.
void BM_LocateTextLast(benchmark::State& state) { LocateAgainstRead(state, "USER99999"); }
BENCHMARK(BM_LocateTextLast)->Unit(benchmark::kMicrosecond);

void BM_LocateInteger(benchmark::State& state) {
  TTableStream t(Users().Path(), TTableStream::kModeReadShared);
  for (auto _ : state) benchmark::DoNotOptimize(t.LocateInteger("ShiftID", 99));
}
BENCHMARK(BM_LocateInteger)->Unit(benchmark::kMicrosecond);

// The caller's way: First, Next until Eof, reading a field of every slot.
void BM_ScanWithNext(benchmark::State& state) {
  TTableStream t(Users().Path(), TTableStream::kModeReadShared);
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (t.First(); !t.Eof(); t.Next()) sum += t.FieldByName("FirstID").AsInteger();
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_ScanWithNext)->Unit(benchmark::kMicrosecond);

// Open validates every slot and the free list; a writer's also takes the
// table's CRC on the way, for its first change.
void BM_Open(benchmark::State& state) {
  const auto mode = state.range(0) ? TTableStream::kModeReadWrite : TTableStream::kModeReadShared;
  for (auto _ : state) {
    TTableStream t(Users().Path(), mode);
    benchmark::DoNotOptimize(t.IsOpen());
  }
}
BENCHMARK(BM_Open)->ArgName("writer")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
