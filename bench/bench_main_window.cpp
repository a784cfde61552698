// The main window's costs as the user meets them: opening the program on a
// 50-user data set and painting the window once (goal 50 ms), opening it on
// 100,000 users (goal 250 ms to the window on the screen: the user menu must
// not grow with the square of its items, and measures its captions only when
// it opens), choosing a month (ViewButtonClick: the grid's month picture with
// its badges and the month list; goal 1 ms, with no exceptions and with
// 10,000 in the folder, 200 in the shown user's year), and the work behind
// one mouse move over the grid (CellAt with the day record, the resolved day
// and the hover text; goal 20 µs).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <stdlib.h>

#include "app/uKadrelMain.h"
#include "platform/uFileOps.h"
#include "platform/gui/uMessages.h"
#include "platform/uClock.h"
#include "platform/uGbk.h"
#include "schedule/uRotaFiles.h"
#include "schedule/uScheduleRecords.h"
#include "widgets/uKadrelStyle.h"
#include "widgets/uListMenu.h"
#include "widgets/uToggleButton.h"

namespace {

using namespace kadrel;

// Building 100,000 users one fsync each would take minutes on a disk; the
// data set is only a starting point, so its writes need not survive a crash.
class TNoSyncOps : public TFileOps {
 public:
  int Sync(int) override { return 0; }
};

// A data folder that lives for the whole run: four duty kinds, three
// schemes, `users` users and `exceptions` exceptions of this year, spread
// over the users.
class TDataSet {
 public:
  explicit TDataSet(int users, int exceptions = 0) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kadrel-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data())) dir_ = pattern;
    TScheduleTables tables;
    TScheduleError error;
    ok_ = !dir_.empty() && OpenScheduleTables(tables, dir_, TScheduleAccess::Write, error);
    TScheduleRecords records(tables, TWritePolicy::Trimmed);
    for (const char* duty : {"白班", "夜班", "中班", "休息"}) {
      TDutyKindRecord kind{0, GbkLiteral(duty), ""};
      ok_ = ok_ && records.SaveDutyKind(kind, error);
    }
    auto scheme = [&](const char* name, std::vector<std::int32_t> cycle) {
      TSchemeRecord record{0, GbkLiteral(name), std::move(cycle)};
      return records.SaveScheme(record, error);
    };
    ok_ = ok_ && scheme("四班三倒", {1, 1, 3, 3, 2, 2, 4, 4}) && scheme("常白班", {1, 1, 1, 1, 1, 4, 4}) &&
          scheme("两班倒", {1, 2, 4});
    // Straight appends: SaveUser's duplicate search would make 100,000 users
    // a quadratic wait.
    TNoSyncOps noSync;
    tables.User.SetFileOps(&noSync);
    for (int u = 0; ok_ && u < users; ++u) {
      const std::string name = GbkLiteral("员工") + std::to_string(u);
      const TDateTime start = static_cast<TDateTime>(EncodeDate(2026, 1, 1 + u % 28));
      ok_ = tables.User.Append() && tables.User.SetText(kUserName, name) &&
            tables.User.SetInteger(kUserShiftID, 1 + u % 3) && tables.User.SetFloat(kUserStart, start) &&
            tables.User.SetInteger(kUserFirstID, 0) && tables.User.Post();
    }
    tables.User.SetFileOps(nullptr);
    if (exceptions > 0) ok_ = ok_ && PutExceptions(tables, users, exceptions);
    ok_ = ok_ && CloseScheduleTables(tables, error);
  }
  ~TDataSet() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  const std::string& Dir() const { return dir_; }
  bool Ok() const { return ok_; }

 private:
  // Sets, leaves, extras and notes of one to five days, straight appends as
  // for the users; the resolver takes overlapping ones as they come.
  bool PutExceptions(TScheduleTables& tables, int users, int count) {
    TTableStream& t = tables.Exceptions;
    TNoSyncOps noSync;
    t.SetFileOps(&noSync);
    TScheduleError error;
    bool ok = OpenOrCreateRotaFile(t, TScheduleFile::Exceptions, dir_, error);
    const std::int64_t year = EncodeDate(DecodeDate(WholeDays(Today())).Year, 1, 1);
    std::mt19937 random(18);
    for (int id = 1; ok && id <= count; ++id) {
      constexpr std::int32_t kKinds[] = {1, 2, 3, 5};
      const std::int32_t kind = kKinds[random() % 4];
      const std::int64_t first = year + random() % 360;
      ok = t.Append() && t.SetInteger(kExcID, id) &&
           t.SetText(kExcUser, GbkLiteral("员工") + std::to_string(id % users)) && t.SetInteger(kExcKind, kind) &&
           t.SetFloat(kExcFirst, static_cast<TDateTime>(first)) &&
           t.SetFloat(kExcLast, static_cast<TDateTime>(first + random() % 5)) &&
           t.SetInteger(kExcDutyID, kind == 1 || kind == 3 ? 2 : 0) &&
           t.SetText(kExcLeave, kind == 2 ? GbkLiteral("年假") : "") && t.SetText(kExcNote, kind == 5 ? "n" : "") &&
           t.SetInteger(kExcStart, -1) && t.SetInteger(kExcLength, 0) && t.Post();
    }
    t.SetFileOps(nullptr);
    return ok;
  }

  std::string dir_;
  bool ok_ = false;
};

const TDataSet& Data() {
  static const TDataSet data(50);
  return data;
}

const TDataSet& WithExceptions() {
  static const TDataSet data(50, 10000);
  return data;
}

const TDataSet& ManyUsers() {
  static const TDataSet data(100000);
  return data;
}

bool Ready(benchmark::State& state, const TDataSet& data = Data()) {
  if (data.Ok()) return true;
  state.SkipWithError("the data set could not be written");
  return false;
}

void BM_OpenAndPaintMainWindow(benchmark::State& state) {
  if (!Ready(state)) return;
  TMessageBoxOverride quiet;
  for (auto _ : state) {
    TfrmMain window(Data().Dir());
    QPixmap picture = window.grab();
    benchmark::DoNotOptimize(picture);
  }
}
BENCHMARK(BM_OpenAndPaintMainWindow)->Unit(benchmark::kMillisecond);

void BM_OpenMainWindow100kUsers(benchmark::State& state) {
  if (!Ready(state, ManyUsers())) return;
  TMessageBoxOverride quiet;
  for (auto _ : state) {
    TfrmMain window(ManyUsers().Dir());
    window.show();
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(window.Loaded());
  }
}
BENCHMARK(BM_OpenMainWindow100kUsers)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the start no longer does: the user menu makes and measures its
// 100,000 captions the first time it opens.
void BM_FirstOpenOfUserMenu100kUsers(benchmark::State& state) {
  if (!Ready(state, ManyUsers())) return;
  TMessageBoxOverride quiet;
  for (auto _ : state) {
    state.PauseTiming();
    TfrmMain window(ManyUsers().Dir());
    state.ResumeTiming();
    benchmark::DoNotOptimize(window.UserMenu()->sizeHint());
  }
}
BENCHMARK(BM_FirstOpenOfUserMenu100kUsers)->Unit(benchmark::kMillisecond)->Iterations(3);

// Argument: the exceptions in the folder.
void BM_ViewButtonClickMonth(benchmark::State& state) {
  const TDataSet& data = state.range(0) == 0 ? Data() : WithExceptions();
  if (!Ready(state, data)) return;
  TMessageBoxOverride quiet;
  TfrmMain window(data.Dir());
  int month = 0;
  for (auto _ : state) {
    month = month % 12 + 1;
    window.ViewButtonClick(window.ViewButton(month));
  }
}
BENCHMARK(BM_ViewButtonClickMonth)->Arg(0)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Points across the whole grid, so hits and misses come in the proportion a
// wandering pointer meets them.
void MouseMoves(benchmark::State& state, int view, const TDataSet& data = Data()) {
  if (!Ready(state, data)) return;
  TMessageBoxOverride quiet;
  TfrmMain window(data.Dir());
  window.ViewButtonClick(window.ViewButton(view));
  std::vector<QPoint> points;
  for (int y = 1; y < window.Calendar->height(); y += 7)
    for (int x = 1; x < window.Calendar->width(); x += 5) points.emplace_back(x, y);
  QString hint;
  std::size_t i = 0;
  std::int64_t hits = 0;
  for (auto _ : state) {
    hits += window.CalendarHintAt(points[i].x(), points[i].y(), hint);
    benchmark::DoNotOptimize(hint);
    if (++i == points.size()) i = 0;
  }
  state.counters["hit share"] = benchmark::Counter(static_cast<double>(hits) / double(state.iterations()));
}

void BM_MouseMoveHintYearView(benchmark::State& state) { MouseMoves(state, 0); }
void BM_MouseMoveHintMonthView(benchmark::State& state) { MouseMoves(state, 2); }
void BM_MouseMoveHintMonthView10kExceptions(benchmark::State& state) { MouseMoves(state, 2, WithExceptions()); }
BENCHMARK(BM_MouseMoveHintYearView)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MouseMoveHintMonthView)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MouseMoveHintMonthView10kExceptions)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ApplyKadrelStyle(app);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
