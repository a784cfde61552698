// The calendar grid's costs as the user meets them: the work behind one
// mouse move over the grid (CellAt, which fills the day record; the hover
// text and the duty lookup are the main window's and come on top), and
// painting the year view and a month view into the picture. Goal for a
// mouse move: 20 microseconds.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <vector>

#include "calendar/uCalendar.h"
#include "widgets/uFonts.h"

namespace {

struct TPoint {
  int X, Y;
};

// Points across the whole control, so hits and misses come in the
// proportion a wandering pointer meets them.
std::vector<TPoint> PointsOver(int width, int height) {
  std::vector<TPoint> points;
  for (int y = 1; y < height; y += 7)
    for (int x = 1; x < width; x += 5) points.push_back({x, y});
  return points;
}

void ShowYear(kadrel::TCalendar& cal) {
  cal.resize(680, 350);
  cal.SetFonts(kadrel::TFontOfCalendar{});
  cal.DrawYear(40, 14, 2026, 3, 2);
}

void ShowMonth(kadrel::TCalendar& cal, int month) {
  kadrel::TFontOfCalendar fonts;
  fonts.HeadFont.FontSize = 12;
  fonts.DayFont.FontSize = 12;
  fonts.LunarFont.FontSize = 10;
  cal.SetFonts(fonts);
  cal.resize(490, 348);
  cal.DrawMonth(7, 7, month);
}

void MouseMoves(benchmark::State& state, kadrel::TCalendar& cal) {
  const std::vector<TPoint> points = PointsOver(cal.width(), cal.height());
  kadrel::TCalendKD day;
  std::size_t i = 0;
  std::int64_t hits = 0;
  for (auto _ : state) {
    hits += cal.CellAt(points[i].X, points[i].Y, day);
    benchmark::DoNotOptimize(day);
    if (++i == points.size()) i = 0;
  }
  state.counters["hit share"] = benchmark::Counter(static_cast<double>(hits) / state.iterations());
}

void BM_MouseMoveYearView(benchmark::State& state) {
  kadrel::TCalendar cal;
  ShowYear(cal);
  MouseMoves(state, cal);
}
BENCHMARK(BM_MouseMoveYearView)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_MouseMoveMonthView(benchmark::State& state) {
  kadrel::TCalendar cal;
  ShowYear(cal);
  ShowMonth(cal, 2);
  MouseMoves(state, cal);
}
BENCHMARK(BM_MouseMoveMonthView)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_DrawYear(benchmark::State& state) {
  kadrel::TCalendar cal;
  ShowYear(cal);
  for (auto _ : state) cal.DrawYear(40, 14, 2026, 3, 2);
}
BENCHMARK(BM_DrawYear)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_DrawMonth(benchmark::State& state) {
  kadrel::TCalendar cal;
  ShowYear(cal);
  ShowMonth(cal, 1);
  int month = 0;
  for (auto _ : state) {
    cal.DrawMonth(7, 7, month + 1);
    month = (month + 1) % 12;
  }
}
BENCHMARK(BM_DrawMonth)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The first paint of a month after start, with no text converted yet.
void BM_DrawMonthFirstTime(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    {
      kadrel::TCalendar cal;
      ShowYear(cal);
      state.ResumeTiming();
      ShowMonth(cal, 8);
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DrawMonthFirstTime)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kadrel::InstallFontSubstitutes();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
