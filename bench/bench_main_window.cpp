// The main window's costs as the user meets them: opening the program on a
// 50-user data set and painting the window once (goal 50 ms), opening it on
// 100,000 users (goal 250 ms to the window on the screen: the user menu must
// not grow with the square of its items, and measures its captions only when
// it opens), choosing a month (ViewButtonClick: the grid's month picture and
// the month list; goal 2 ms), and the work behind one mouse move over the
// grid (CellAt with the day record, the duty lookup and the hover text; goal
// 20 µs).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>

#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>

#include "app/uKadrelMain.h"
#include "platform/uFileOps.h"
#include "platform/gui/uMessages.h"
#include "platform/uGbk.h"
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
// schemes and `users` users.
class TDataSet {
 public:
  explicit TDataSet(int users) {
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
    ok_ = ok_ && CloseScheduleTables(tables, error);
  }
  ~TDataSet() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  const std::string& Dir() const { return dir_; }
  bool Ok() const { return ok_; }

 private:
  std::string dir_;
  bool ok_ = false;
};

const TDataSet& Data() {
  static const TDataSet data(50);
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

void BM_ViewButtonClickMonth(benchmark::State& state) {
  if (!Ready(state)) return;
  TMessageBoxOverride quiet;
  TfrmMain window(Data().Dir());
  int month = 0;
  for (auto _ : state) {
    month = month % 12 + 1;
    window.ViewButtonClick(window.ViewButton(month));
  }
}
BENCHMARK(BM_ViewButtonClickMonth)->Unit(benchmark::kMicrosecond);

// Points across the whole grid, so hits and misses come in the proportion a
// wandering pointer meets them.
void MouseMoves(benchmark::State& state, int view) {
  if (!Ready(state)) return;
  TMessageBoxOverride quiet;
  TfrmMain window(Data().Dir());
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
BENCHMARK(BM_MouseMoveHintYearView)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MouseMoveHintMonthView)->Unit(benchmark::kMicrosecond);

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
