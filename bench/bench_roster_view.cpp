// The roster on screen: the whole table of 200 users x 31 days painted, as a
// printed page or a screen taller than any has it (goal: under 30 ms, rows
// built included), again and fresh after a change; and a team of 10,000
// scrolled a page at a time, where only the rows in view may be built and
// painted.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include "app/uRosterGrid.h"
#include "bench/bench_folder.h"
#include "calendar/uHoliday.h"
#include "widgets/uKadrelStyle.h"

namespace kadrel {
namespace {

const std::int64_t kFirst = EncodeDate(2025, 10, 1);
const std::int64_t kLast = EncodeDate(2025, 10, 31);

std::vector<bool> Watched(const TDutyTimesMap& times, const std::vector<TRosterKindCount>& kinds) {
  std::vector<bool> watched;
  for (const TRosterKindCount& kind : kinds) watched.push_back(!times.Of(kind.DutyID).Rest);
  return watched;
}

void PaintWhole(const TRosterPicture& picture, QImage& image) {
  const TRosterGeometry& g = picture.Geometry();
  const TRoster& roster = picture.Roster();
  QPainter p(&image);
  picture.PaintHead(p, 0);
  int y = g.kHeadHeight;
  for (std::size_t r = 0; r < roster.RowCount(); ++r, y += g.kRowHeight) picture.PaintRow(p, y, r, roster.Row(r));
  picture.PaintFooter(p, y);
}

// The same picture painted again and again, as a repaint paints it.
void BM_PaintRoster200(benchmark::State& state) {
  static bench::TTeamFolder team(200);
  const TRoster roster(team.snapshot, team.times, Holidays(), kFirst, kLast, AllRosterUsers(*team.snapshot));
  const auto kinds = roster.DayCounts();
  const TRosterPicture picture(roster, kinds, Watched(team.times, kinds), 5);
  const TRosterGeometry& g = picture.Geometry();
  QImage image(g.Width(), g.kHeadHeight + 200 * g.kRowHeight + g.FooterHeight(), QImage::Format_RGB32);
  for (auto _ : state) PaintWhole(picture, image);
  state.SetItemsProcessed(state.iterations() * 200 * 31);
}
BENCHMARK(BM_PaintRoster200)->Unit(benchmark::kMillisecond);

// A new picture each time, as after every change: its cells' looks are
// painted once before they are copied.
void BM_PaintRoster200Fresh(benchmark::State& state) {
  static bench::TTeamFolder team(200);
  const TRoster roster(team.snapshot, team.times, Holidays(), kFirst, kLast, AllRosterUsers(*team.snapshot));
  const auto kinds = roster.DayCounts();
  const TRosterGeometry g = TRosterPicture(roster, kinds, {}, 0).Geometry();
  QImage image(g.Width(), g.kHeadHeight + 200 * g.kRowHeight + g.FooterHeight(), QImage::Format_RGB32);
  for (auto _ : state) PaintWhole(TRosterPicture(roster, kinds, Watched(team.times, kinds), 5), image);
  state.SetItemsProcessed(state.iterations() * 200 * 31);
}
BENCHMARK(BM_PaintRoster200Fresh)->Unit(benchmark::kMillisecond);

// A page down through 10,000 users, painted: rows_built counts the rows
// each page built, against the rows a page shows.
void BM_ScrollTeam10000(benchmark::State& state) {
  // Exceptions for every 50th user: adding them one by one to a folder this
  // size would take longer than the benchmark.
  static bench::TTeamFolder team(10000, 50);
  const TRoster roster(team.snapshot, team.times, Holidays(), kFirst, kLast, AllRosterUsers(*team.snapshot));
  const auto kinds = roster.DayCounts();
  const TRosterPicture picture(roster, kinds, Watched(team.times, kinds), 5);
  TRosterGrid grid;
  grid.resize(1156, 520);
  grid.SetPicture(&picture);
  QImage image(grid.size(), QImage::Format_RGB32);
  grid.render(&image);
  const std::size_t start = grid.BuiltRows();
  QScrollBar* bar = grid.verticalScrollBar();
  for (auto _ : state) {
    bar->setValue(bar->value() + bar->pageStep() >= bar->maximum() ? 0 : bar->value() + bar->pageStep());
    grid.render(&image);
  }
  state.counters["rows_built"] =
      benchmark::Counter(static_cast<double>(grid.BuiltRows() - start), benchmark::Counter::kAvgIterations);
  state.counters["rows_shown"] = static_cast<double>(start);
}
BENCHMARK(BM_ScrollTeam10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kadrel

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kadrel::ApplyKadrelStyle(app);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
