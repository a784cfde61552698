// Building and writing a whole year in each format. Goal: at most 1 ms each.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

#include "output/uExport.h"
#include "output/uIcs.h"
#include "platform/uGbk.h"

namespace kadrel {
namespace {

TShiftUser BenchUser() {
  TShiftUser user;
  user.Name = GbkLiteral("张三");
  for (const char* n : {"早班", "中班", "晚班", "休息", "休息"}) user.worklist.push_back(GbkLiteral(n));
  user.Count = static_cast<std::int32_t>(user.worklist.size());
  user.Start = static_cast<TDateTime>(EncodeDate(2005, 1, 1));
  return user;
}

// Files go to memory-backed /dev/shm where there is one, so the figures are
// Kadrel's own work and not the latency of this machine's disk flush.
std::string BenchFile(const char* ext) {
  std::filesystem::path dir = std::filesystem::is_directory("/dev/shm")
                                  ? std::filesystem::path("/dev/shm")
                                  : std::filesystem::temp_directory_path();
  return (dir /
          ("kadrel-bench-" + std::to_string(::getpid()) + ext))
      .string();
}

TLineList ExportYear(const TUserSchedule& user) {
  TLineList lines;
  for (int m = 1; m <= 12; ++m) AppendExportMonth(lines, user, 2024, m);
  return lines;
}

template <typename Save>
void RunYear(benchmark::State& state, const char* ext, Save save) {
  const TUserSchedule user = BenchUser();
  std::string file = BenchFile(ext);
  for (auto _ : state) {
    TLineList lines = ExportYear(user);
    auto err = save(ScheduleTitle(user, 2024), file, lines);
    if (err) state.SkipWithError(err->Message.c_str());
  }
  std::filesystem::remove(file);
}

void BM_YearAsText(benchmark::State& state) {
  RunYear(state, ".txt", [](const auto& t, const auto& f, const auto& l) { return SaveAsText(t, f, l); });
}
void BM_YearAsHtml(benchmark::State& state) {
  RunYear(state, ".html", [](const auto& t, const auto& f, const auto& l) { return SaveAsHtml(t, f, l); });
}
void BM_YearAsDat(benchmark::State& state) {
  RunYear(state, ".dat", [](const auto& t, const auto& f, const auto& l) { return SaveAsDat(t, f, l); });
}

void BM_YearAsIcs(benchmark::State& state) {
  const TUserSchedule user = BenchUser();
  std::string file = BenchFile(".ics");
  for (auto _ : state) {
    if (auto err = SaveAsIcs(user, 2024, TMonthSet::All(), file)) state.SkipWithError(err->Message.c_str());
  }
  std::filesystem::remove(file);
}

void BM_YearPrintForm(benchmark::State& state) {
  const TUserSchedule user = BenchUser();
  for (auto _ : state) {
    TLineList lines{ScheduleTitle(user, 2024)};
    for (int m = 1; m <= 12; ++m) AppendPrintMonth(lines, user, 2024, m);
    benchmark::DoNotOptimize(lines.data());
  }
}

// Building alone, without the disk: what the writers cost before fsync.
void BM_YearBuildHtmlOnly(benchmark::State& state) {
  const TUserSchedule user = BenchUser();
  for (auto _ : state) {
    TLineList lines = ExportYear(user);
    benchmark::DoNotOptimize(BuildHtmlFile(ScheduleTitle(user, 2024), lines));
  }
}

BENCHMARK(BM_YearAsText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_YearAsHtml)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_YearAsDat)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_YearAsIcs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_YearPrintForm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_YearBuildHtmlOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kadrel
