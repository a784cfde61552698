// The roster of a team's month: every row with its hours and the footer of
// counts, for 200 users x 31 days. The goal: under 5 ms, what the roster
// window and `kadrel-cli roster` ask for each time the month changes.
#include <benchmark/benchmark.h>

#include "bench/bench_folder.h"
#include "calendar/uHoliday.h"
#include "output/uHours.h"
#include "output/uRoster.h"
#include "output/uRosterDoc.h"

namespace kadrel {
namespace {

bench::TTeamFolder& Team() {
  static bench::TTeamFolder team(200);
  return team;
}

const std::int64_t kFirst = EncodeDate(2025, 10, 1);
const std::int64_t kLast = EncodeDate(2025, 10, 31);

void BM_RosterMonth(benchmark::State& state) {
  bench::TTeamFolder& team = Team();
  const THolidayTable& holidays = Holidays();
  for (auto _ : state) {
    TRoster roster(team.snapshot, team.times, holidays, kFirst, kLast, AllRosterUsers(*team.snapshot));
    for (std::size_t row = 0; row < roster.RowCount(); ++row) {
      TRosterRow built = roster.Row(row);
      benchmark::DoNotOptimize(built.Cells.data());
    }
    auto counts = roster.DayCounts();
    benchmark::DoNotOptimize(counts.data());
  }
  state.SetItemsProcessed(state.iterations() * 200 * 31);
}
BENCHMARK(BM_RosterMonth)->Unit(benchmark::kMillisecond);

// One user's month of hours: what `stats --hours` and a row's totals cost.
void BM_HoursOfAMonth(benchmark::State& state) {
  bench::TTeamFolder& team = Team();
  std::size_t user = 0;
  for (auto _ : state) {
    THours hours = CountHours(*team.snapshot, user++ % 200, kFirst, kLast, team.times, Holidays());
    benchmark::DoNotOptimize(hours.Lines.data());
  }
}
BENCHMARK(BM_HoursOfAMonth)->Unit(benchmark::kMicrosecond);

// The CSV of the month, as exported.
void BM_RosterCsv(benchmark::State& state) {
  bench::TTeamFolder& team = Team();
  TRoster roster(team.snapshot, team.times, Holidays(), kFirst, kLast, AllRosterUsers(*team.snapshot));
  for (auto _ : state) {
    std::string csv = BuildRosterDocument(roster, TRosterFormat::Csv);
    benchmark::DoNotOptimize(csv.data());
  }
}
BENCHMARK(BM_RosterCsv)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kadrel
