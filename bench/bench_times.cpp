// Duty times and reminders over a folder of 100 users.
//
// The users follow a cycle of 白班 08:00+480, 夜班 20:00+720, 早班 06:00+480
// and 休息 from different places, a third of them with 30 exceptions each
// over the year. Every timed duty kind has a reminder, the longest a day
// ahead. The goal: every user's reminders of a day in under 1 ms, which the
// desktop's timer and `kadrel-cli reminders` ask for.
#include <stdlib.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/uFileOps.h"
#include "platform/uGbk.h"
#include "schedule/uReminders.h"
#include "schedule/uRotaFiles.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uScheduleFiles.h"
#include "schedule/uScheduleRecords.h"
#include "schedule/uTimedDuty.h"

namespace kadrel {
namespace {

constexpr int kUsers = 100;
const std::int64_t kDay = EncodeDate(2025, 7, 31);

// Building the folder needs no durability.
class TNoSyncOps : public TFileOps {
 public:
  int Sync(int) override { return 0; }
};

struct TTimesBench {
  std::filesystem::path dir;
  TNoSyncOps noSync;
  TScheduleTables tables;
  TTableStream exceptions{TTableStream::kModeReadWrite};
  TTableStream history{TTableStream::kModeReadWrite};
  std::shared_ptr<const TRotaSnapshot> snapshot;
  TDutyTimesMap times;
  std::vector<TSentReminder> sent;

  TTimesBench() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kadrel-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    for (TScheduleFile f : kScheduleFiles) tables.Table(f).SetFileOps(&noSync);
    exceptions.SetFileOps(&noSync);
    TScheduleError error;
    bool ok = OpenScheduleTables(tables, dir.string(), TScheduleAccess::Write, error) &&
              OpenOrCreateRotaFile(exceptions, TScheduleFile::Exceptions, dir.string(), error);
    TScheduleRecords records(tables, TWritePolicy::Trimmed);
    TRotaRecords rota(records, exceptions, history);
    for (const char* duty : {"白班", "夜班", "早班", "休息"}) {
      TDutyKindRecord kind{0, GbkLiteral(duty), ""};
      ok = ok && records.SaveDutyKind(kind, error);
    }
    TSchemeRecord scheme{0, "S", {1, 2, 3, 4}};
    ok = ok && records.SaveScheme(scheme, error);
    std::mt19937 random(19);
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    for (int u = 0; u < kUsers; ++u) {
      TUserRecord user{0, std::string("u").append(std::to_string(u)), 1, static_cast<TDateTime>(EncodeDate(2025, 1, 1)), u % 4};
      ok = ok && records.SaveUser(user, error);
      for (int i = 0; u % 3 == 0 && i < 30; ++i) {
        TExceptionRecord r;
        r.Kind = pick(0, 1) ? TExceptionKind::Set : TExceptionKind::Extra;
        r.User = user.Name;
        r.First = r.Last = static_cast<TDateTime>(EncodeDate(2025, 1, 1) + pick(0, 364));
        r.DutyID = pick(1, 3);
        TRotaError rotaError;
        ok = ok && rota.AddException(r, rotaError);
      }
    }
    if (!ok) std::abort();
    snapshot = TRotaSnapshot::Build(records, exceptions, history);
    const std::vector<TDutyTimes> kinds = {{1, 480, 480, false, 0x1E90FF, 60},
                                           {2, 1200, 720, false, 0x000080, 1440},
                                           {3, 360, 480, false, kNoColor, 30},
                                           {4, -1, 0, true, kNoColor, -1}};
    times = TDutyTimesMap(kinds);
    // What a day of reminders leaves in the ledger.
    const TTimeZone zone = TTimeZone::Shanghai();
    for (const auto& r : DueReminders(*snapshot, times, zone, DayStart(zone), DayStart(zone, 1))) {
      sent.push_back({r.UserName, static_cast<TDateTime>(r.Duty.Day), r.Duty.Duty.ID, r.Duty.ExtraID,
                      UtcDateTime(r.Span.Begin), UtcDateTime(r.Due)});
    }
  }
  ~TTimesBench() {
    TScheduleError error;
    CloseScheduleTables(tables, error);
    exceptions.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
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
