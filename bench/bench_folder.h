// A data folder of many users for the benchmarks of whole teams: duty kinds
// 白班 08:00+480, 夜班 20:00+720, 早班 06:00+480 and 休息 (rest) in one
// cycle, every user at another place of it, and by default every third user with 30
// exceptions (changed duties and extra shifts) spread over 2025.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/uFileOps.h"
#include "platform/uGbk.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uRotaFiles.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uScheduleFiles.h"
#include "schedule/uScheduleRecords.h"

namespace kadrel::bench {

// Building the folder needs no durability.
class TNoSyncOps : public TFileOps {
 public:
  int Sync(int) override { return 0; }
};

struct TTeamFolder {
  std::filesystem::path dir;
  TNoSyncOps noSync;
  TScheduleTables tables;
  TTableStream exceptions{TTableStream::kModeReadWrite};
  TTableStream history{TTableStream::kModeReadWrite};
  std::shared_ptr<const TRotaSnapshot> snapshot;
  TDutyTimesMap times;

  // Every `changedEvery`-th user has the exceptions.
  explicit TTeamFolder(int users, int changedEvery = 3) {
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
    for (int u = 0; u < users; ++u) {
      TUserRecord user{0, std::string("u").append(std::to_string(u)), 1,
                       static_cast<TDateTime>(EncodeDate(2025, 1, 1)), u % 4};
      ok = ok && records.SaveUser(user, error);
      for (int i = 0; u % changedEvery == 0 && i < 30; ++i) {
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
  }
  ~TTeamFolder() {
    TScheduleError error;
    CloseScheduleTables(tables, error);
    exceptions.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  TTeamFolder(const TTeamFolder&) = delete;
  TTeamFolder& operator=(const TTeamFolder&) = delete;
};

}  // namespace kadrel::bench
