#include "calendar/uCalendarGeometry.h"

#include <cmath>

#include "calendar/uCalendDay.h"

namespace kadrel {

namespace {

constexpr int kWeekDays = 7;
constexpr int kMonths = 12;

int FloorDiv(int num, int den) {
  int q = num / den;
  if ((num % den != 0) && ((num < 0) != (den < 0))) --q;
  return q;
}

std::int64_t CeilIndex64(std::int64_t v, std::int64_t size) { return (v + size - 1) / size; }

bool IsMonth(int month) { return month >= 1 && month <= kMonths; }

}  // namespace

int RoundHalfEven(int num, int den) {
  const int q = FloorDiv(num, den);
  const std::int64_t twiceRest = 2 * (std::int64_t{num} - std::int64_t{q} * den);
  if (twiceRest > den) return q + 1;
  if (twiceRest == den) return (q % 2 == 0) ? q : q + 1;
  return q;
}

int CeilIndex(int v, int size) { return static_cast<int>(CeilIndex64(v, size)); }

void SizeGrid(TCalendarGrid& grid, int width, int height, int cols, int rows) {
  grid.Width = width;
  grid.Height = height;
  grid.ColCount = cols;
  grid.RowCount = rows;
  grid.CellWidth = cols > 0 ? RoundHalfEven(width, cols) : 0;
  grid.CellHeight = rows > 0 ? RoundHalfEven(height, rows) : 0;
}

TGridCell YearViewCell(int year, int month, int day) {
  return {DayOfWeekOf(year, month, 1) + 1 + day, month + 1};
}

TGridCell MonthViewCell(int year, int month, int day) {
  const int slot = DayOfWeekOf(year, month, 1) - 1 + day - 1;  // 0 = Sunday of the first week
  return {slot % kWeekDays, slot / kWeekDays + 1};
}

TTextPos TextOffsetIn(int cellWidth, int cellHeight, int textWidth, int textHeight, double yDivisor,
                      double xDivisor) {
  const long xTenths = std::lround(xDivisor * 10);
  const long yTenths = std::lround(yDivisor * 10);
  TTextPos pos;
  // Integer division truncates toward zero, as the layout wants for text
  // wider than its cell.
  if (xTenths > 0) pos.X = static_cast<int>((cellWidth - textWidth) * 10L / xTenths);
  if (yTenths > 0) pos.Y = static_cast<int>((cellHeight - textHeight) * 10L / yTenths);
  return pos;
}

bool YearViewDayAt(const TCalendarGrid& grid, int x, int y, int& month, int& day) {
  if (grid.CellWidth <= 0 || grid.CellHeight <= 0) return false;
  // In 64 bits: the offsets are the caller's and may be anything.
  const std::int64_t vx = std::int64_t{x} - std::int64_t{grid.CellWidth} * grid.ColOffset;
  const std::int64_t vy = std::int64_t{y} - std::int64_t{grid.CellHeight} * grid.RowOffset;
  if (vx < 0 || vy < 0) return false;
  const std::int64_t col = CeilIndex64(vx, grid.CellWidth);
  const std::int64_t rows = CeilIndex64(vy, grid.CellHeight);
  if (rows < 1) return false;
  const int m = rows > kMonths ? kMonths : static_cast<int>(rows);  // a taller control: December
  const int w1 = DayOfWeekOf(grid.Year, m, 1);
  if (col > DaysInMonth(grid.Year, m) + w1 - 1) return false;
  const std::int64_t d = col - w1 + 1;
  if (d < 1) return false;
  month = m;
  day = static_cast<int>(d);
  return true;
}

bool MonthViewDayAt(const TCalendarGrid& grid, int x, int y, int& day) {
  if (grid.CellWidth <= 0 || grid.CellHeight <= 0 || !IsMonth(grid.Month)) return false;
  const std::int64_t vy = std::int64_t{y} - grid.CellHeight;  // below the header row
  if (x < 0 || vy < 0) return false;
  const int col = CeilIndex(x, grid.CellWidth);
  // Column 0 is only the grid's left border and a column past Saturday lies
  // outside the week; counting them into the week number would name the
  // Saturday before or the Sunday after the day on screen.
  if (col < 1 || col > kWeekDays) return false;
  const std::int64_t r = CeilIndex64(vy, grid.CellHeight);
  const std::int64_t n = col + kWeekDays * (r - 1);
  const std::int64_t d = n - DayOfWeekOf(grid.Year, grid.Month, 1) + 1;
  if (d < 1 || d > DaysInMonth(grid.Year, grid.Month)) return false;
  day = static_cast<int>(d);
  return true;
}

bool GridDayAt(const TCalendarGrid& grid, int x, int y, int& year, int& month, int& day) {
  if (grid.YearMode) {
    if (!YearViewDayAt(grid, x, y, month, day)) return false;
  } else {
    if (!MonthViewDayAt(grid, x, y, day)) return false;
    month = grid.Month;
  }
  year = grid.Year;
  return true;
}

}  // namespace kadrel
