// Duty times and reminders over a folder of 100 users.
//
// The users follow a cycle of 白班 08:00+480, 夜班 20:00+720, 早班 06:00+480
// and 休息 from different places, a third of them with 30 exceptions each
// over the year. Every timed duty kind has a reminder, the longest a day
// ahead. The goal: every user's reminders of a day in under 1 ms, which the
// desktop's timer and `kadrel-cli reminders` ask for.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench_folder.h"
#include "schedule/uReminders.h"
#include "schedule/uTimedDuty.h"

namespace kadrel {
namespace {

constexpr int kUsers = 100;
const std::int64_t kDay = EncodeDate(2025, 7, 31);

struct TTimesBench : bench::TTeamFolder {
  std::vector<TSentReminder> sent;

  TTimesBench() : TTeamFolder(kUsers) {
    // What a day of reminders leaves in the ledger.
    const TTimeZone zone = TTimeZone::Shanghai();
    for (const auto& r : DueReminders(*snapshot, times, zone, DayStart(zone), DayStart(zone, 1))) {
      sent.push_back({r.UserName, static_cast<TDateTime>(r.Duty.Day), r.Duty.Duty.ID, r.Duty.ExtraID,
                      UtcDateTime(r.Span.Begin), UtcDateTime(r.Due)});
    }
  }
  static TUtcTime DayStart(const TTimeZone& zone, int days = 0) { return zone.ToUtc(WallTimeOf(kDay + days, 0)); }
};

TTimesBench& Bench() {
  static TTimesBench bench;
  return bench;
}

// Every user's reminders due in one day, in Shanghai and in a zone with
// summer time.
void BM_DueRemindersOfADay(benchmark::State& state) {
  TTimesBench& b = Bench();
  const TTimeZone zone = *TTimeZone::Find(state.range(0) ? "Europe/Berlin" : "Asia/Shanghai");
  std::size_t count = 0;
  for (auto _ : state) {
    auto due = DueReminders(*b.snapshot, b.times, zone, b.DayStart(zone), b.DayStart(zone, 1));
    count = due.size();
    benchmark::DoNotOptimize(due.data());
  }
  state.counters["reminders"] = static_cast<double>(count);
  state.SetLabel(zone.Name());
}
BENCHMARK(BM_DueRemindersOfADay)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The desktop's timer at noon, with the morning's reminders in the ledger.
void BM_PendingReminders(benchmark::State& state) {
  TTimesBench& b = Bench();
  const TTimeZone zone = TTimeZone::Shanghai();
  const TUtcTime noon{b.DayStart(zone).Seconds + 12 * 3600};
  for (auto _ : state) {
    auto pending = PendingReminders(*b.snapshot, b.times, zone, b.sent, noon);
    benchmark::DoNotOptimize(pending.data());
  }
}
BENCHMARK(BM_PendingReminders)->Unit(benchmark::kMicrosecond);

// The tray's next shift of one user.
void BM_NextDuty(benchmark::State& state) {
  TTimesBench& b = Bench();
  const TTimeZone zone = TTimeZone::Shanghai();
  std::size_t user = 0;
  for (auto _ : state) {
    auto next = NextDuty(*b.snapshot, user++ % kUsers, b.times, zone, b.DayStart(zone));
    benchmark::DoNotOptimize(next);
  }
}
BENCHMARK(BM_NextDuty)->Unit(benchmark::kMicrosecond);

// The month list of one user: each day's duties with their starts.
void BM_MonthListWithTimes(benchmark::State& state) {
  TTimesBench& b = Bench();
  std::size_t user = 0;
  for (auto _ : state) {
    const std::size_t u = user++ % kUsers;
    for (std::int64_t day = kDay; day < kDay + 31; ++day) {
      std::string text = DayDutyTimesText(b.snapshot->Resolve(u, static_cast<TDateTime>(day)), day, b.times);
      benchmark::DoNotOptimize(text.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * 31);
}
BENCHMARK(BM_MonthListWithTimes)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kadrel
