// Duty lookups and user loading.
//
// A 200-entry cycle cannot exist in a real schemes file: "worklist" holds 199
// bytes, and even one-digit identifiers take two bytes an entry, so 99 is the
// longest cycle that fits. The records are read by field index, so the
// 200-entry cases use a schemes table whose "worklist" is 1000 bytes wide;
// the 99-entry case uses the real schema.
#include <stdlib.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "schedule/uShiftUser.h"
#include "schedule/uScheduleFiles.h"
#include "schedule/uScheduleRecords.h"

namespace kadrel {
namespace {

class TBenchDir {
 public:
  TBenchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kadrel-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TBenchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Tables holding `kinds` duty kinds (IDs 1..kinds), one scheme with the
// given cycle and one user of it, all open with the user current.
struct TBenchData {
  TBenchDir dir;
  TTableStream shift{TTableStream::kModeReadWrite};
  TTableStream work{TTableStream::kModeReadWrite};
  TTableStream user{TTableStream::kModeReadWrite};

  TBenchData(int kinds, const std::vector<std::int32_t>& cycle, std::int32_t worklistWidth) {
    TScheduleError error;
    bool ok = OpenOrCreateScheduleFile(work, TScheduleFile::Work, dir.File("workdat.kd2"), error) &&
              OpenOrCreateScheduleFile(user, TScheduleFile::User, dir.File("userdat.kd2"), error) &&
              CreateShifts(worklistWidth);
    for (int id = 1; ok && id <= kinds; ++id) {
      std::string name(1, 'K');
      name += std::to_string(id);
      ok = work.Append() && work.SetInteger(kWorkID, id) && work.SetText(kWorkName, name) &&
           work.SetText(kWorkHint, "") && work.Post();
    }
    ok = ok && shift.Append() && shift.SetInteger(kShiftID, 1) &&
         shift.SetInteger(kShiftCount, static_cast<std::int32_t>(cycle.size())) && shift.SetText(kShiftName, "S") &&
         shift.SetText(kShiftWorkList, WriteWorkList(cycle)) && shift.Post();
    ok = ok && user.Append() && user.SetText(kUserName, "U") && user.SetInteger(kUserShiftID, 1) &&
         user.SetFloat(kUserStart, 40000) && user.SetInteger(kUserFirstID, 0) && user.Post();
    if (!ok) std::abort();
  }

  TScheduleRecords records{shift, work, user, TWritePolicy::Trimmed};
  TUserRecord First() { return records.Users().at(0); }

  bool CreateShifts(std::int32_t worklistWidth) {
    const std::string path = dir.File("shiftdat.kd2");
    if (!shift.CreateTable(path)) return false;
    TFields& f = shift.Fields();
    if (!f.AddField("ID", 1) || !f.AddField("Count", 1) || !f.AddField("Name", 3, 10) ||
        !f.AddField("worklist", 3, worklistWidth) || !shift.Close()) {
      return false;
    }
    return shift.SetOpenMode(TTableStream::kModeReadWrite) && shift.Open(path);
  }
};

std::vector<std::int32_t> Cycle(int entries, int distinct) {
  std::vector<std::int32_t> ids;
  for (int i = 0; i < entries; ++i) ids.push_back(i % distinct + 1);
  return ids;
}

void BM_GetDutyName(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  TBenchData data(9, Cycle(entries, 9), 200);
  TShiftUser user;
  LoadShiftUser(user, data.records, data.First());
  if (user.Count != entries) std::abort();
  std::string name;
  std::int64_t day = 30000;
  for (auto _ : state) {
    GetDutyName(user, static_cast<TDateTime>(day++), name);
    benchmark::DoNotOptimize(name.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetDutyName)->Arg(4)->Arg(99);

// The same loop without the lookup: on a shared machine the loop alone costs
// a few nanoseconds, which the figure above includes.
void BM_GetDutyNameLoopOnly(benchmark::State& state) {
  std::string name = "K1";
  std::int64_t day = 30000;
  for (auto _ : state) {
    TDateTime date = static_cast<TDateTime>(day++);
    benchmark::DoNotOptimize(date);
    benchmark::DoNotOptimize(name.data());
  }
}
BENCHMARK(BM_GetDutyNameLoopOnly);

void BM_LoadShiftUser(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const int distinct = static_cast<int>(state.range(1));
  TBenchData data(distinct, Cycle(entries, distinct), entries > 99 ? 1000 : 200);
  TShiftUser user;
  const TUserRecord record = data.First();
  for (auto _ : state) {
    LoadShiftUser(user, data.records, record);
    benchmark::DoNotOptimize(user.Count);
  }
  if (user.Count != entries) state.SkipWithError("the cycle did not load whole");
}
BENCHMARK(BM_LoadShiftUser)->Args({99, 9})->Args({200, 9})->Args({200, 200})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kadrel
