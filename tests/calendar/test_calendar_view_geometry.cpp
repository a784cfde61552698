// The grid's arithmetic without a window: cell sizes, where a day stands,
// text offsets, and which day lies under a point.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <utility>

#include "calendar/uCalendDay.h"
#include "calendar/uCalendarGeometry.h"

namespace kadrel {
namespace {

TCalendarGrid YearGrid(int year, int width = 680, int height = 350) {
  TCalendarGrid g;
  g.Year = year;
  SizeGrid(g, width, height, 40, 14);
  return g;
}

TCalendarGrid MonthGrid(int year, int month, int width = 490, int height = 348) {
  TCalendarGrid g;
  g.YearMode = false;
  g.Year = year;
  g.Month = month;
  SizeGrid(g, width, height, 7, 7);
  return g;
}

TEST(CalendarGeometry, RoundsHalvesToEven) {
  struct {
    int Num, Den, Expected;
  } cases[] = {
      {680, 40, 17},
      {350, 14, 25},
      {490, 7, 70},
      {348, 7, 50},  // 49.71
      {25, 2, 12},
      {35, 2, 18},
      {5, 2, 2},
      {7, 2, 4},
      {1, 2, 0},
      {3, 2, 2},
      {0, 7, 0},
      {-3, 2, -2},
      {-5, 2, -2},
      {-1, 3, 0},
      {10, 4, 2},
      {14, 4, 4},
      {INT_MAX, 2, 1 << 30},
  };
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.Num, c.Den), c.Expected) << c.Num << " / " << c.Den;
}

TEST(CalendarGeometry, CellSizesOfTheMainWindowsViews) {
  const TCalendarGrid year = YearGrid(2026);
  EXPECT_EQ(year.CellWidth, 17);
  EXPECT_EQ(year.CellHeight, 25);
  EXPECT_EQ(year.ColCount, 40);
  EXPECT_EQ(year.RowCount, 14);

  const TCalendarGrid month = MonthGrid(2026, 2);
  EXPECT_EQ(month.CellWidth, 70);
  EXPECT_EQ(month.CellHeight, 50);
  EXPECT_GT(7 * month.CellHeight, 348) << "the sixth week row is cut short";

  TCalendarGrid none;
  SizeGrid(none, 680, 350, 0, -1);
  EXPECT_EQ(none.CellWidth, 0);
  EXPECT_EQ(none.CellHeight, 0);
}

TEST(CalendarGeometry, TextOffsetTruncatesTowardZero) {
  // A 12-pixel "31" centred in a 17 x 25 cell.
  EXPECT_EQ(TextOffsetIn(17, 25, 12, 12, 2, 2), (TTextPos{2, 6}));
  // The month label is wider than its cell: -9.5 is -9, not -10.
  EXPECT_EQ(TextOffsetIn(17, 25, 36, 12, 2, 2), (TTextPos{-9, 6}));
  // The lunar text sits low: 37 / 1.1 = 33.6.
  EXPECT_EQ(TextOffsetIn(70, 50, 65, 13, 1.1, 2), (TTextPos{2, 33}));
  // Exact quotients stay exact, where 55 / 1.1 in binary is 49.999...
  EXPECT_EQ(TextOffsetIn(70, 68, 70, 13, 1.1, 2), (TTextPos{0, 50}));
  EXPECT_EQ(TextOffsetIn(70, 46, 70, 13, 1.1, 2), (TTextPos{0, 30}));
  // A text taller than a squeezed cell.
  EXPECT_EQ(TextOffsetIn(4, 5, 13, 16, 1.1, 2), (TTextPos{-4, -10}));
}

TEST(CalendarGeometry, EveryMonthFitsFortyColumns) {
  for (int year = 1900; year <= 2050; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const int last = DaysInMonth(year, month);
      EXPECT_GE(YearViewCell(year, month, 1).Col, 3) << year << "-" << month;
      EXPECT_LE(YearViewCell(year, month, last).Col, 39) << year << "-" << month;
      EXPECT_LE(MonthViewCell(year, month, last).Row, 6) << year << "-" << month;
    }
  }
}

// Every pixel of a view against the cells the days are painted in: cell
// (c, r) owns the pixels c*w < x <= (c+1)*w, r*h < y <= (r+1)*h, so the
// line on a cell's right and bottom edges belongs to it. A pixel is a day
// exactly when it lies in a painted day's cell.
using TCellMap = std::map<std::pair<int, int>, int>;  // (col, row) -> month * 100 + day

TCellMap PaintedCells(int year, int month) {
  TCellMap cells;
  for (int m = (month ? month : 1); m <= (month ? month : 12); ++m)
    for (int d = 1; d <= DaysInMonth(year, m); ++d) {
      const TGridCell c = month ? MonthViewCell(year, m, d) : YearViewCell(year, m, d);
      cells[{c.Col, c.Row}] = m * 100 + d;
    }
  return cells;
}

void ExpectHitsMatchPaintedCells(const TCalendarGrid& g, const TCellMap& cells) {
  int hits = 0;
  // Below the control the year view repeats December; that case has a
  // test of its own.
  for (int y = -2; y < g.Height; ++y) {
    for (int x = -2; x < g.Width + 2; ++x) {
      int year = 0, month = 0, day = 0;
      const bool hit = GridDayAt(g, x, y, year, month, day);
      const auto owner = cells.find({CeilIndex(x, g.CellWidth) - 1, CeilIndex(y, g.CellHeight) - 1});
      const bool inCell = x > 0 && y > 0 && owner != cells.end();
      ASSERT_EQ(hit, inCell) << "at (" << x << ", " << y << ") in " << g.Year << "-" << g.Month;
      if (!hit) continue;
      ++hits;
      ASSERT_EQ(year, g.Year);
      ASSERT_EQ(month * 100 + day, owner->second) << "at (" << x << ", " << y << ")";
    }
  }
  EXPECT_GT(hits, 0);
}

TEST(CalendarGeometry, YearViewHitTestMatchesThePaintedCells) {
  for (int year : {1900, 2024, 2026, 2050}) {
    SCOPED_TRACE(year);
    ExpectHitsMatchPaintedCells(YearGrid(year), PaintedCells(year, 0));
  }
}

TEST(CalendarGeometry, MonthViewHitTestMatchesThePaintedCells) {
  for (auto [year, month] : {std::pair{2026, 2}, {2026, 8}, {2024, 2}, {1900, 2}, {2050, 12}}) {
    SCOPED_TRACE(testing::Message() << year << "-" << month);
    ExpectHitsMatchPaintedCells(MonthGrid(year, month), PaintedCells(year, month));
  }
}

TEST(CalendarGeometry, PointsThatAreNoDay) {
  int month = 0, day = 0;
  const TCalendarGrid year = YearGrid(2026);
  EXPECT_FALSE(YearViewDayAt(year, 20, 100, month, day)) << "label column";
  EXPECT_FALSE(YearViewDayAt(year, 51, 100, month, day)) << "last pixel of the label columns";
  EXPECT_FALSE(YearViewDayAt(year, 100, 30, month, day)) << "weekday header";
  EXPECT_FALSE(YearViewDayAt(year, 100, 50, month, day)) << "line under the header";
  EXPECT_FALSE(YearViewDayAt(year, -5, 100, month, day));
  // August 2026 starts on a Saturday: Sunday to Friday before it are empty.
  EXPECT_FALSE(YearViewDayAt(year, 3 * 17 + 8, 9 * 25 + 12, month, day));
  EXPECT_FALSE(YearViewDayAt(year, 8 * 17 + 8, 9 * 25 + 12, month, day));
  EXPECT_TRUE(YearViewDayAt(year, 9 * 17 + 8, 9 * 25 + 12, month, day));
  // February 2026 ends in column 3 + 27.
  EXPECT_TRUE(YearViewDayAt(year, 30 * 17 + 8, 3 * 25 + 12, month, day));
  EXPECT_EQ(day, 28);
  EXPECT_FALSE(YearViewDayAt(year, 31 * 17 + 8, 3 * 25 + 12, month, day));

  const TCalendarGrid aug = MonthGrid(2026, 8);
  EXPECT_FALSE(MonthViewDayAt(aug, 400, 25, day)) << "weekday header";
  EXPECT_FALSE(MonthViewDayAt(aug, 35, 75, day)) << "Sunday before the first";
  EXPECT_FALSE(MonthViewDayAt(aug, 175, 340, day)) << "after the 31st";
  EXPECT_FALSE(MonthViewDayAt(aug, -1, 75, day));
  // The left border of the second week is not the Saturday of the first,
  // and a point right of Saturday is not the next week's Sunday.
  // (A drag reports points outside the control.)
  EXPECT_FALSE(MonthViewDayAt(aug, 0, 125, day));
  EXPECT_FALSE(MonthViewDayAt(aug, 7 * 70 + 5, 125, day));

  EXPECT_FALSE(MonthViewDayAt(MonthGrid(2026, 13), 100, 125, day)) << "no such month";
  EXPECT_FALSE(MonthViewDayAt(MonthGrid(2026, 0), 100, 125, day)) << "no month drawn yet";
}

TEST(CalendarGeometry, BelowDecemberCountsAsDecember) {
  // A control taller than the grid: rows past December still answer for it.
  const TCalendarGrid tall = YearGrid(2026, 680, 500);
  ASSERT_EQ(tall.CellHeight, 36);
  int month = 0, day = 0;
  const int col = YearViewCell(2026, 12, 15).Col;
  ASSERT_TRUE(YearViewDayAt(tall, col * 17 + 8, 16 * 36 + 5, month, day));
  EXPECT_EQ(month, 12);
  EXPECT_EQ(day, 15);
}

TEST(CalendarGeometry, NoAnswerWithoutCellsOrWithWildOffsets) {
  int year = 0, month = 0, day = 0;
  TCalendarGrid unpainted;
  EXPECT_FALSE(GridDayAt(unpainted, 10, 10, year, month, day));
  unpainted.YearMode = false;
  unpainted.Month = 2;
  EXPECT_FALSE(GridDayAt(unpainted, 10, 10, year, month, day));

  TCalendarGrid far = YearGrid(2026);
  far.ColOffset = INT_MAX;
  far.RowOffset = INT_MAX;
  EXPECT_FALSE(GridDayAt(far, INT_MAX, INT_MAX, year, month, day));
  far.ColOffset = INT_MIN;
  far.RowOffset = 2;
  EXPECT_FALSE(GridDayAt(far, 100, 100, year, month, day)) << "far beyond the last day";
  EXPECT_FALSE(GridDayAt(MonthGrid(2026, 8), INT_MAX, INT_MAX, year, month, day));
}

}  // namespace
}  // namespace kadrel
