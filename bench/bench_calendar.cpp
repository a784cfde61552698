// The month view fills one day record per cell and the hover text one per
// mouse move, so a day record must cost well under a microsecond; with its
// holiday lookup the goal is 30 ns. Each iteration is one day, cycling
// through every day of the calendar; read the median aggregate as
// nanoseconds per day. The holiday table is built once per process: goal
// 0.1 ms.
#include <benchmark/benchmark.h>

#include <vector>

#include "calendar/uCalend.h"
#include "calendar/uCalendDay.h"
#include "calendar/uHoliday.h"
#include "platform/uDateTime.h"

namespace {

const std::vector<kadrel::TYmd>& AllDays() {
  static const std::vector<kadrel::TYmd> days = [] {
    std::vector<kadrel::TYmd> all;
    for (auto s = kadrel::EncodeDate(kadrel::kFirstCalendYear, 1, 1); s <= kadrel::EncodeDate(kadrel::kLastCalendYear, 12, 31);
         ++s)
      all.push_back(kadrel::DecodeDate(s));
    return all;
  }();
  return days;
}

void BM_FillDay(benchmark::State& state) {
  const auto& days = AllDays();
  kadrel::TCalendKD kd;
  std::size_t i = 0;
  for (auto _ : state) {
    kd.Year = days[i].Year;
    kd.Month = days[i].Month;
    kd.Day = days[i].Day;
    kadrel::FillDay(kd);
    benchmark::DoNotOptimize(kd);
    if (++i == days.size()) i = 0;
  }
}
BENCHMARK(BM_FillDay)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_SolarToLunar(benchmark::State& state) {
  const auto& days = AllDays();
  std::size_t i = 0;
  for (auto _ : state) {
    int y = 0, m = 0, d = 0;
    bool leap = false;
    kadrel::SolarToLunar(days[i].Year, days[i].Month, days[i].Day, y, m, leap, d);
    benchmark::DoNotOptimize(y + m + d + leap);
    if (++i == days.size()) i = 0;
  }
}
BENCHMARK(BM_SolarToLunar)->Repetitions(10)->ReportAggregatesOnly(true);

// The whole range in one go, as a year of documents or a long `days` run
// would do it.
void BM_FillDayWholeRange(benchmark::State& state) {
  const auto& days = AllDays();
  kadrel::TCalendKD kd;
  for (auto _ : state) {
    for (const auto& ymd : days) {
      kd.Year = ymd.Year;
      kd.Month = ymd.Month;
      kd.Day = ymd.Day;
      kadrel::FillDay(kd);
      benchmark::DoNotOptimize(kd);
    }
  }
  state.counters["ns_per_day"] = benchmark::Counter(static_cast<double>(days.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}
BENCHMARK(BM_FillDayWholeRange)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// Building the table once at start: the rules for 2000..2100 and the
// built-in arrangements, no folders.
void BM_LoadHolidayTable(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<kadrel::THolidayMessage> messages;
    benchmark::DoNotOptimize(kadrel::LoadHolidayTable({}, messages));
  }
}
BENCHMARK(BM_LoadHolidayTable)->Unit(benchmark::kMicrosecond);

}  // namespace
