// The resolver of a user's day, against the bare rotation it replaces.
//
// The folder holds 100 users of a four-day cycle, a change of scheme for a
// third of them, and 10,000 exceptions (sets, leaves, extras, notes and
// swaps, over one to five days, or up to two weeks of leave) spread over
// 2020 to 2026. The day benchmarks ask for random users and days of those
// years, the same sequence for both, so that the two figures compare the
// same work: GetDutyName on a loaded TShiftUser is what every view did before
// exceptions existed.
#include <stdlib.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "output/uYearDocument.h"
#include "platform/uFileOps.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "schedule/uRotaFiles.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uShiftUser.h"
#include "schedule/uScheduleFiles.h"
#include "schedule/uScheduleRecords.h"

namespace kadrel {
namespace {

constexpr int kUsers = 100;
const std::int64_t kFirstDay = EncodeDate(2020, 1, 1);
const std::int64_t kDays = EncodeDate(2026, 12, 31) - kFirstDay;

// Building 10,000 records needs no durability.
class TNoSyncOps : public TFileOps {
 public:
  int Sync(int) override { return 0; }
};

std::string Name(const char* prefix, int n) { return std::string(prefix).append(std::to_string(n)); }

struct TRotaBench {
  std::filesystem::path dir;
  TNoSyncOps noSync;
  TScheduleTables tables;
  TTableStream exceptions{TTableStream::kModeReadWrite};
  TTableStream history{TTableStream::kModeReadWrite};
  std::unique_ptr<TScheduleRecords> records;
  std::shared_ptr<const TRotaSnapshot> snapshot;
  std::vector<TShiftUser> users;
  std::vector<std::pair<std::size_t, TDateTime>> asks;  // the days asked, in order

  explicit TRotaBench(int count) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kadrel-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    for (TScheduleFile f : kScheduleFiles) tables.Table(f).SetFileOps(&noSync);
    exceptions.SetFileOps(&noSync);
    history.SetFileOps(&noSync);
    TScheduleError error;
    bool ok = OpenScheduleTables(tables, dir.string(), TScheduleAccess::Write, error) &&
              OpenOrCreateRotaFile(exceptions, TScheduleFile::Exceptions, dir.string(), error) &&
              OpenOrCreateRotaFile(history, TScheduleFile::History, dir.string(), error);
    records = std::make_unique<TScheduleRecords>(tables, TWritePolicy::Trimmed);
    for (const char* duty : {"白班", "夜班", "休息", "早班"}) {
      TDutyKindRecord kind{0, GbkLiteral(duty), ""};
      ok = ok && records->SaveDutyKind(kind, error);
    }
    TSchemeRecord scheme{0, "S", {1, 1, 2, 3}};
    ok = ok && records->SaveScheme(scheme, error);
    std::mt19937 random(18);
    auto pick = [&](std::int64_t from, std::int64_t to) {
      return std::uniform_int_distribution<std::int64_t>(from, to)(random);
    };
    for (int u = 0; u < kUsers; ++u) {
      TUserRecord user{0, Name("u", u), 1, static_cast<TDateTime>(kFirstDay), u % 4};
      ok = ok && records->SaveUser(user, error);
      if (u % 3 == 0) ok = ok && PutHistory(u, kFirstDay + pick(0, kDays), static_cast<TDateTime>(kFirstDay - u));
    }
    for (int id = 1; ok && id <= count; ++id) {
      const auto kind = static_cast<std::int32_t>(pick(1, 5));
      const std::int64_t first = kFirstDay + pick(0, kDays);
      const std::int64_t last = kind == 4 ? first : first + pick(0, kind == 2 ? 13 : 4);
      const auto user = static_cast<int>(pick(0, kUsers - 1)), partner = (user + 1) % kUsers;
      if (kind != 4) {
        ok = PutException(id, kind, user, first, last, -1, 0);
      } else {
        ok = PutException(id, kind, user, first, last, partner, id + 1) &&
             PutException(id + 1, kind, partner, first, last, user, id);
        ++id;
      }
    }
    if (!ok) std::abort();
    snapshot = TRotaSnapshot::Build(*records, exceptions, history);
    for (const auto& record : records->Users()) {
      users.emplace_back();
      LoadShiftUser(users.back(), *records, record);
    }
    for (int i = 0; i < 4096; ++i) {
      asks.emplace_back(static_cast<std::size_t>(pick(0, kUsers - 1)), static_cast<TDateTime>(kFirstDay + pick(0, kDays)));
    }
  }
  ~TRotaBench() {
    TScheduleError error;
    CloseScheduleTables(tables, error);
    exceptions.Close();
    history.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  bool PutException(std::int32_t id, std::int32_t kind, int user, std::int64_t first, std::int64_t last, int partner,
                    std::int32_t link) {
    TTableStream& t = exceptions;
    return t.Append() && t.SetInteger(kExcID, id) && t.SetText(kExcUser, Name("u", user)) &&
           t.SetInteger(kExcKind, kind) && t.SetFloat(kExcFirst, static_cast<TDateTime>(first)) &&
           t.SetFloat(kExcLast, static_cast<TDateTime>(last)) && t.SetInteger(kExcDutyID, kind == 1 || kind == 3 ? 2 : 0) &&
           t.SetText(kExcPartner, partner < 0 ? "" : Name("u", partner)) && t.SetInteger(kExcLink, link) &&
           t.SetText(kExcLeave, kind == 2 ? GbkLiteral("年假") : "") && t.SetText(kExcNote, kind == 5 ? "n" : "") &&
           t.SetInteger(kExcStart, -1) && t.SetInteger(kExcLength, 0) && t.Post();
  }
  bool PutHistory(int user, std::int64_t until, TDateTime start) {
    TTableStream& t = history;
    const std::int32_t id = t.AppendedCount() + 1;
    return t.Append() && t.SetInteger(kHistID, id) && t.SetText(kHistUser, Name("u", user)) &&
           t.SetFloat(kHistUntil, static_cast<TDateTime>(until)) && t.SetInteger(kHistShiftID, 1) &&
           t.SetFloat(kHistStart, start) && t.SetInteger(kHistFirstID, 2) && t.Post();
  }
};

// -1: the folder without exceptions, whose users' bare rotations are asked.
TRotaBench& Bench(int count) {
  static TRotaBench none(0), many(10000);
  return count <= 0 ? none : many;
}

// Before exceptions: the duty of a random user and day.
void BM_DutyNameRandomDay(benchmark::State& state) {
  TRotaBench& b = Bench(10000);
  std::string name;
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [user, day] = b.asks[i++ & 4095];
    GetDutyName(b.users[user], day, name);
    benchmark::DoNotOptimize(name.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DutyNameRandomDay);

// The resolved day of a random user and day, with no exceptions or with
// 10,000 in the folder.
void BM_ResolveRandomDay(benchmark::State& state) {
  TRotaBench& b = Bench(static_cast<int>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [user, day] = b.asks[i++ & 4095];
    TResolvedDay resolved = b.snapshot->Resolve(user, day);
    benchmark::DoNotOptimize(resolved.Duty.Name.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResolveRandomDay)->Arg(0)->Arg(10000);

// Every day of a month of one user, as a list or a document walks them.
void BM_ResolveMonth(benchmark::State& state) {
  TRotaBench& b = Bench(static_cast<int>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [user, day] = b.asks[i++ & 4095];
    auto month = b.snapshot->ResolveRange(user, day, day + 30);
    benchmark::DoNotOptimize(month.data());
  }
  state.SetItemsProcessed(state.iterations() * 31);
}
BENCHMARK(BM_ResolveMonth)->Arg(0)->Arg(10000);

// What a month view asks: every day of a month of one user, and its texts.
void BM_ResolveMonthWithTexts(benchmark::State& state) {
  TRotaBench& b = Bench(static_cast<int>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [user, day] = b.asks[i++ & 4095];
    for (const auto& resolved : b.snapshot->ResolveRange(user, day, day + 30)) {
      std::string text = DayDutyText(resolved);
      benchmark::DoNotOptimize(text.data());
      benchmark::DoNotOptimize(DayMark(resolved).data());
      benchmark::DoNotOptimize(DayHoverLines(resolved).size());
    }
  }
  state.SetItemsProcessed(state.iterations() * 31);
}
BENCHMARK(BM_ResolveMonthWithTexts)->Arg(0)->Arg(10000)->Unit(benchmark::kMicrosecond);

// A user's year as a document through the resolver (goal: at most 1 ms, as
// for every document), against the same year of the bare rotation: the HTML
// page and the calendar file, whose events describe each change.
void BM_YearDocument(benchmark::State& state) {
  TRotaBench& b = Bench(static_cast<int>(state.range(0)));
  const TUserSchedule user = state.range(0) < 0 ? TUserSchedule(b.users[0]) : TUserSchedule(b.snapshot, 0);
  const TExportType type = state.range(1) == 0 ? TExportType::Html : TExportType::Ics;
  for (auto _ : state) benchmark::DoNotOptimize(BuildYearDocument(user, 2024, TMonthSet::All(), type).data());
}
BENCHMARK(BM_YearDocument)
    ->ArgsProduct({{-1, 0, 10000}, {0, 1}})
    ->ArgNames({"exceptions", "ics"})
    ->Unit(benchmark::kMicrosecond);

// Reading all five files after a change.
void BM_BuildSnapshot(benchmark::State& state) {
  TRotaBench& b = Bench(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto snapshot = TRotaSnapshot::Build(*b.records, b.exceptions, b.history);
    benchmark::DoNotOptimize(snapshot.get());
  }
}
BENCHMARK(BM_BuildSnapshot)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kadrel
