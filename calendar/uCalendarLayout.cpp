#include "calendar/uCalendarLayout.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

#include "calendar/uCalendDay.h"
#include "calendar/uHoliday.h"
#include "platform/uDateTime.h"
#include "platform/uDateWords.h"
#include "platform/uGbk.h"

namespace kadrel {

namespace {

constexpr int kWeekDays = 7;
constexpr int kMonths = 12;
constexpr double kCentred = 2;
constexpr double kLowInCell = 1.1;

// The captions in GBK, converted once.
struct TGridTexts {
  std::array<std::string, kWeekDays> MonthHeads;    // "周日" .. "周六"
  std::string Week;                                 // "周"
  std::array<std::string, kWeekDays> WeekdayChars;  // "日" .. "六"
  std::array<std::string, kMonths> MonthLabels;     // "一  月" .. "十二月"
  std::string OffMark;                              // "休"
  std::string WorkMark;                             // "班"
};

const TGridTexts& Texts() {
  static const TGridTexts texts = [] {
    static constexpr std::array<const char*, kWeekDays> kDays = {"日", "一", "二", "三", "四", "五", "六"};
    // One-character numerals take two spaces so that every label is as
    // wide as "十一月".
    static constexpr std::array<const char*, kMonths> kMonthNumerals = {
        "一  ", "二  ", "三  ", "四  ", "五  ", "六  ", "七  ", "八  ", "九  ", "十  ", "十一", "十二"};
    TGridTexts t;
    t.Week = GbkLiteral("周");
    for (int i = 0; i < kWeekDays; ++i) {
      t.WeekdayChars[i] = GbkLiteral(kDays[i]);
      t.MonthHeads[i] = t.Week + t.WeekdayChars[i];
    }
    for (int m = 0; m < kMonths; ++m) t.MonthLabels[m] = GbkLiteral(kMonthNumerals[m]) + GbkDateWords().Month;
    t.OffMark = GbkLiteral("休");
    t.WorkMark = GbkLiteral("班");
    return t;
  }();
  return texts;
}

bool IsWeekend(int weekday) { return weekday == 1 || weekday == 7; }

// Decimal digits of a number, in a buffer the caller keeps.
std::string_view Decimal(int value, std::array<char, 16>& buffer) {
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

// Bytes of the first GBK character of `text`.
std::size_t CharLength(std::string_view text) {
  if (text.empty()) return 0;
  const bool lead =
      static_cast<unsigned char>(text[0]) >= 0x81 && static_cast<unsigned char>(text[0]) <= 0xFE;
  return lead && text.size() >= 2 ? 2 : 1;
}

void DrawText(TCalendarCanvas& canvas, TTextPos at, int dx, int dy, std::string_view text) {
  canvas.TextOut(at.X + dx, at.Y + dy, text);
}

// The two characters stand one above the other in the cell's top-right
// corner, the second 5 pixels below the first. Where that would bring the
// second down onto the lunar text, which sits low in the cell, it moves up
// to keep kTermClearance pixels above it (but never onto the first).
constexpr int kTermClearance = 2;

void DrawTerm(const TCalendarGrid& grid, TCalendarCanvas& canvas, int cellX, int cellY,
              std::string_view term) {
  const std::string_view first = term.substr(0, CharLength(term));
  const std::string_view rest = term.substr(first.size());
  const std::string_view second = rest.substr(0, CharLength(rest));
  const int x = cellX + grid.CellWidth - canvas.TextWidth(first) - 2;
  const int y = cellY + 3;
  const int height = canvas.TextHeight(first);
  const int lunarTop = cellY + TextOffset(grid, canvas, first, kLowInCell, kCentred).Y;
  const int secondY = std::max(y + height, std::min(y + height + 5, lunarTop - kTermClearance - height));
  canvas.TextOut(x, y, first);
  canvas.TextOut(x, secondY, second);
}

// A leap eleventh or twelfth month ("闰十一月初一") is six characters, wider
// than a cell; drawn as laid out it would run across the grid line and be
// half covered by the next day's text. Such a text is narrowed to the space
// between the lines instead. The last column ends at the border line, one
// pixel inside the control, not at the next cell's line.
void DrawLunarText(const TCalendarGrid& grid, TCalendarCanvas& canvas, int cellX, int cellY,
                   std::string_view lunar) {
  const TTextPos at = TextOffset(grid, canvas, lunar, kLowInCell, kCentred);
  const int rightLine = std::min(cellX + grid.CellWidth, grid.Width - 1);
  const int room = rightLine - (cellX + 1);
  if (room > 0 && canvas.TextWidth(lunar) > room) {
    canvas.TextOutNarrowed(cellX + 1, cellY + at.Y, room, lunar);
  } else {
    DrawText(canvas, at, cellX, cellY, lunar);
  }
}

// The badge of a day the rota changes: its character in white on a ground
// one pixel wider all round, in the lunar font like the holiday mark above it.
void DrawMonthMark(const TCalendarGrid& grid, TCalendarCanvas& canvas, int day, std::string_view mark) {
  canvas.SetFont(TCalendarFontRole::Lunar);
  const TMarkBox box = MonthMarkBox(grid, day, canvas.TextWidth(mark), canvas.TextHeight(mark));
  canvas.DrawBadge(box, mark, TCalendarColorRole::ChangeMark, TCalendarColorRole::ChangeText);
  canvas.SetBrushColor(TCalendarColorRole::Back);
}

// The colour of the day's duty: a bar along the bottom of the cell, under
// the lunar text and clear of the grid's lines.
void DrawDutyBar(const TCalendarGrid& grid, TCalendarCanvas& canvas, int day, std::int32_t rgb) {
  const TGridCell cell = MonthViewCell(grid.Year, grid.Month, day);
  const int left = cell.Col * grid.CellWidth + 3;
  const int bottom = (cell.Row + 1) * grid.CellHeight - 2;
  canvas.FillRectRgb({left, bottom - 3, left + grid.CellWidth - 5, bottom}, static_cast<std::uint32_t>(rgb));
}

void DrawMonthDay(const TCalendarGrid& grid, TCalendarCanvas& canvas, int day, TCalendKD& kd,
                  std::string& lunar) {
  const TGridCell cell = MonthViewCell(grid.Year, grid.Month, day);
  const int cellX = cell.Col * grid.CellWidth;
  const int cellY = cell.Row * grid.CellHeight;
  const bool weekend = IsWeekend(cell.Col + 1);

  std::array<char, 16> digits;
  const std::string_view number = Decimal(day, digits);
  canvas.SetFont(TCalendarFontRole::Day);
  canvas.SetFontColor(weekend ? TCalendarColorRole::Weekend : TCalendarColorRole::Day);
  DrawText(canvas, TextOffset(grid, canvas, number, kCentred, kCentred), cellX, cellY, number);

  kd.Year = grid.Year;
  kd.Month = grid.Month;
  kd.Day = day;
  FillDay(kd);
  canvas.SetFont(TCalendarFontRole::Lunar);
  canvas.SetFontColor(weekend ? TCalendarColorRole::Weekend : TCalendarColorRole::Lunar);
  lunar.assign(kd.MonthName).append(kd.DayName);
  // Days outside the lunar tables have no names, and so no lunar text.
  if (!lunar.empty()) DrawLunarText(grid, canvas, cellX, cellY, lunar);
  if (!kd.TermName.empty()) DrawTerm(grid, canvas, cellX, cellY, kd.TermName);
  // The holiday mark takes the top-left corner, level with the term on the
  // right, so that nothing else in the cell moves.
  if (kd.Mark != THolidayMark::None) {
    const bool off = kd.Mark == THolidayMark::Off;
    canvas.SetFontColor(off ? TCalendarColorRole::OffMark : TCalendarColorRole::WorkMark);
    canvas.TextOut(cellX + 2, cellY + 3, off ? Texts().OffMark : Texts().WorkMark);
  }
}

void DrawYearHeader(const TCalendarGrid& grid, TCalendarCanvas& canvas) {
  const TGridTexts& texts = Texts();
  const int h = RoundHalfEven(grid.CellHeight, 2);
  canvas.SetFont(TCalendarFontRole::Head);
  for (int c = kYearLabelCols; c < grid.ColCount; ++c) {
    const int k = (c - kYearLabelCols) % kWeekDays;  // 0 Sunday
    canvas.SetFontColor(k == 0 || k == 6 ? TCalendarColorRole::Weekend : TCalendarColorRole::Day);
    canvas.TextOut(c * grid.CellWidth + 1, h - 2, texts.Week);
    canvas.TextOut(c * grid.CellWidth + 1, h + 11, texts.WeekdayChars[k]);
  }
}

// A changed day of the year view: a dot at the bottom of its cell, under
// the number and clear of the lines, and of the two pixel rows the main
// window's panel cuts off the last month.
constexpr int kDotSize = 3;

void DrawYearDot(const TCalendarGrid& grid, TCalendarCanvas& canvas, int col, int rowY) {
  const int left = col * grid.CellWidth + 1 + (grid.CellWidth - 1 - kDotSize) / 2;
  const int top = rowY + grid.CellHeight - 3 - kDotSize;
  canvas.SetBrushColor(TCalendarColorRole::ChangeMark);
  canvas.FillRect(left, top, left + kDotSize, top + kDotSize);
}

void DrawYearMonth(const TCalendarGrid& grid, TCalendarCanvas& canvas, int month, const TDayMarks& marks) {
  const int rowY = (month + kYearHeaderRows - 1) * grid.CellHeight;  // the row of YearViewCell
  const std::string& label = Texts().MonthLabels[month - 1];
  canvas.SetFont(TCalendarFontRole::Head);
  canvas.SetFontColor(TCalendarColorRole::Day);
  DrawText(canvas, TextOffset(grid, canvas, label, kCentred, kCentred), grid.CellWidth, rowY, label);

  canvas.SetFont(TCalendarFontRole::Day);
  std::array<char, 16> digits;
  const THolidayTable& holidays = Holidays();
  for (int d = 1, last = DaysInMonth(grid.Year, month); d <= last; ++d) {
    const int col = YearViewCell(grid.Year, month, d).Col;
    canvas.SetFontColor(IsWeekend(DayOfWeekOf(grid.Year, month, d)) ? TCalendarColorRole::Weekend
                                                                    : TCalendarColorRole::Day);
    const THolidayMark mark = holidays.At(EncodeDate(grid.Year, month, d)).Mark;
    if (mark != THolidayMark::None) {
      // The ground fills the cell between its lines; the number's own box
      // is filled with the same colour.
      canvas.SetBrushColor(mark == THolidayMark::Off ? TCalendarColorRole::OffGround
                                                     : TCalendarColorRole::WorkGround);
      canvas.FillRect(col * grid.CellWidth + 1, rowY, (col + 1) * grid.CellWidth, rowY + grid.CellHeight - 1);
    }
    const std::string_view number = Decimal(d, digits);
    // One pixel right of the cell's centre, clear of the line on its left.
    DrawText(canvas, TextOffset(grid, canvas, number, kCentred, kCentred), col * grid.CellWidth + 1, rowY,
             number);
    const bool changed = marks && !marks(grid.Year, month, d).empty();
    if (changed) DrawYearDot(grid, canvas, col, rowY);
    if (mark != THolidayMark::None || changed) canvas.SetBrushColor(TCalendarColorRole::Back);
  }
}

}  // namespace

void TCalendarCanvas::DrawBadge(const TMarkBox& box, std::string_view gbk, TCalendarColorRole ground,
                                TCalendarColorRole ink) {
  SetBrushColor(ground);
  FillRect(box.Left, box.Top, box.Right, box.Bottom);
  SetFontColor(ink);
  TextOut(box.Left + 1, box.Top + 1, gbk);
}

void TCalendarCanvas::FillRectRgb(const TMarkBox&, std::uint32_t) {}

TTextPos TextOffset(const TCalendarGrid& grid, TCalendarCanvas& canvas, std::string_view text,
                    double yDivisor, double xDivisor) {
  return TextOffsetIn(grid.CellWidth, grid.CellHeight, canvas.TextWidth(text), canvas.TextHeight(text),
                      yDivisor, xDivisor);
}

void DrawGrid(TCalendarGrid& grid, TCalendarCanvas& canvas, int cols, int rows) {
  SizeGrid(grid, grid.Width, grid.Height, cols, rows);
  const int width = grid.Width;
  const int height = grid.Height;
  canvas.SetBrushColor(TCalendarColorRole::Back);
  canvas.FillRect(0, 0, width, height);

  // The year view leaves its label columns and header rows without inner
  // lines, so the year label, each month label and each weekday header
  // stand in one box.
  const int c0 = grid.YearMode ? grid.ColOffset : 0;
  const int r0 = grid.YearMode ? grid.RowOffset : 0;
  canvas.SetPenColor(TCalendarColorRole::Line);

  canvas.MoveTo(0, 0);
  canvas.LineTo(0, height);
  for (int i = c0; i < cols; ++i) {
    canvas.MoveTo(i * grid.CellWidth, 0);
    canvas.LineTo(i * grid.CellWidth, height - 1);
  }
  canvas.MoveTo(width - 1, 0);
  canvas.LineTo(width - 1, height - 1);

  canvas.MoveTo(0, 0);
  canvas.LineTo(width, 0);
  for (int j = r0; j <= rows; ++j) {
    canvas.MoveTo(0, j * grid.CellHeight - 1);
    canvas.LineTo(width, j * grid.CellHeight - 1);
  }
  canvas.MoveTo(0, height - 1);
  canvas.LineTo(width, height - 1);
}

TMarkBox MonthMarkBox(const TCalendarGrid& grid, int day, int textWidth, int textHeight) {
  const TGridCell cell = MonthViewCell(grid.Year, grid.Month, day);
  const int cellX = cell.Col * grid.CellWidth;
  const int cellY = cell.Row * grid.CellHeight;
  // Two pixels under the holiday mark, unless that would touch the lunar
  // text's line, which is drawn in the same font.
  const int lunarY = TextOffsetIn(grid.CellWidth, grid.CellHeight, 0, textHeight, kLowInCell, kCentred).Y;
  const int textY = cellY + std::min(3 + textHeight + 2, lunarY - textHeight - 2);
  return {cellX + 2, textY - 1, cellX + 2 + textWidth + 2, textY + textHeight + 1};
}

void DrawMonth(TCalendarGrid& grid, TCalendarCanvas& canvas, int cols, int rows, int month, const TDayMarks& marks,
               const TDayColors& colors) {
  grid.YearMode = false;
  grid.Month = month;
  DrawGrid(grid, canvas, cols, rows);

  const TGridTexts& texts = Texts();
  canvas.SetFont(TCalendarFontRole::Head);
  for (int i = 0; i < kWeekDays; ++i) {
    canvas.SetFontColor(i == 0 || i == 6 ? TCalendarColorRole::Weekend : TCalendarColorRole::Head);
    DrawText(canvas, TextOffset(grid, canvas, texts.MonthHeads[i], kCentred, kCentred), i * grid.CellWidth, 0,
             texts.MonthHeads[i]);
  }

  // A month number that names no month has no days to show (and CellAt
  // finds none), rather than days borrowed from a neighbouring month.
  if (month < 1 || month > kMonths) return;
  TCalendKD kd;
  std::string lunar;
  for (int d = 1, last = DaysInMonth(grid.Year, month); d <= last; ++d) {
    DrawMonthDay(grid, canvas, d, kd, lunar);
    if (const std::int32_t rgb = colors ? colors(grid.Year, month, d) : -1; rgb >= 0) DrawDutyBar(grid, canvas, d, rgb);
    if (!marks) continue;
    if (const std::string_view mark = marks(grid.Year, month, d); !mark.empty()) DrawMonthMark(grid, canvas, d, mark);
  }
}

void DrawYear(TCalendarGrid& grid, TCalendarCanvas& canvas, int cols, int rows, int year, int colOffset,
              int rowOffset, const TDayMarks& marks) {
  grid.YearMode = true;
  grid.Year = year;
  if (colOffset >= 0 && rowOffset >= 0) {
    grid.ColOffset = colOffset;
    grid.RowOffset = rowOffset;
  }
  DrawGrid(grid, canvas, cols, rows);

  DrawYearHeader(grid, canvas);
  for (int m = 1; m <= kMonths; ++m) DrawYearMonth(grid, canvas, m, marks);

  std::array<char, 16> digits;
  std::string label(Decimal(year, digits));
  label += GbkDateWords().Year;
  canvas.SetFont(TCalendarFontRole::Head);
  canvas.SetFontColor(TCalendarColorRole::Head);
  DrawText(canvas, TextOffset(grid, canvas, label, kCentred, kCentred), grid.CellWidth, grid.CellHeight / 2,
           label);
}

}  // namespace kadrel
