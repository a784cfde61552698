// Where things stand on the calendar grid: cell sizes, the cell of a date
// and the date under a point, as plain arithmetic over the grid's state.
// Kept apart from painting and from Qt so that the layout can be checked
// without a window.
//
// Both views count cells from the top-left corner, column and row 0.
//   year view:  row 0-1 weekday header, row m + 1 month m; columns 0-2 hold
//               the month labels, day d of a month whose first day has
//               weekday w1 (1 Sunday .. 7 Saturday) stands in column
//               w1 + 1 + d, so column 3 is always a Sunday.
//   month view: row 0 weekday header, rows 1.. the weeks; column w - 1 for
//               weekday w.
#pragma once

#include <cstdint>

namespace kadrel {

// The grid's own fields, as the widget keeps them between paints.
struct TCalendarGrid {
  std::int32_t Width = 0;  // control size used by the last DrawGrid
  std::int32_t Height = 0;
  std::int32_t CellWidth = 0;  // 0 until the first DrawGrid
  std::int32_t CellHeight = 0;
  std::int32_t ColCount = 0;
  std::int32_t RowCount = 0;
  std::int32_t ColOffset = 3;  // label columns of the year view
  std::int32_t RowOffset = 2;  // header rows of the year view
  bool YearMode = true;
  std::int32_t Year = 0;
  std::int32_t Month = 0;  // month of the month view, 0 before the first one
};

// Label columns and header rows the year view's texts are placed for,
// whatever offsets govern its lines.
inline constexpr int kYearLabelCols = 3;
inline constexpr int kYearHeaderRows = 2;

// num / den rounded to the nearest integer, halves to the even one.
// den must be positive.
int RoundHalfEven(int num, int den);

// The index of the cell an offset v >= 0 falls in, for cells `size` wide:
// ceil(v / size). An offset on a cell's far edge belongs to that cell, and
// 0 gives 0.
int CeilIndex(int v, int size);

// Sets ColCount, RowCount and the cell sizes for a control of width x
// height split into cols x rows. Non-positive counts give cells of size 0,
// on which no point is ever a day.
void SizeGrid(TCalendarGrid& grid, int width, int height, int cols, int rows);

struct TGridCell {
  int Col = 0;
  int Row = 0;
  friend bool operator==(const TGridCell&, const TGridCell&) = default;
};

// The cell of a day in each view (the inverse of the hit tests below).
TGridCell YearViewCell(int year, int month, int day);
TGridCell MonthViewCell(int year, int month, int day);

// Top-left corner of a text of textWidth x textHeight in a cell: the free
// space divided by the divisors, truncated toward zero (2 centres; the
// lunar text's 1.1 sits low). Divisors count in tenths, so 55 / 1.1 is 50
// and not the 49 a binary fraction would give.
struct TTextPos {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TTextPos&, const TTextPos&) = default;
};
TTextPos TextOffsetIn(int cellWidth, int cellHeight, int textWidth, int textHeight, double yDivisor,
                      double xDivisor);

// The day under point (x, y) of the current view, without its lunar names.
// False for headers, label columns, cells without a day, points left of or
// above the day area, and before the first paint.
bool YearViewDayAt(const TCalendarGrid& grid, int x, int y, int& month, int& day);
bool MonthViewDayAt(const TCalendarGrid& grid, int x, int y, int& day);
bool GridDayAt(const TCalendarGrid& grid, int x, int y, int& year, int& month, int& day);

}  // namespace kadrel
