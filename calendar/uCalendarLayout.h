// What the calendar grid paints, and where: the lines of the grid, the
// year view and the month view, drawn through a small canvas interface.
//
// The widget implements the canvas with a painter on its picture; a test
// implements it by recording the calls, so that every line and every text
// position can be checked to the pixel whatever fonts a machine has.
// Texts are GBK, as the calendar core gives them.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "calendar/uCalendarGeometry.h"

namespace kadrel {

// The three fonts of the grid, as chosen with SetFonts.
enum class TCalendarFontRole { Head, Day, Lunar };

// The seven colours of the grid, as chosen with SetColors, in their order;
// then the fixed colours: the 休 and 班 marks of the month view, the grounds
// of 休 and 班 day numbers in the year view, and the badge of a day the rota
// changes (its ground, also the year view's dot, and its character).
enum class TCalendarColorRole {
  Back, Head, Line, Spare, Weekend, Day, Lunar, OffMark, WorkMark, OffGround, WorkGround, ChangeMark, ChangeText
};

// A box in the grid's coordinates: left <= x < right, top <= y < bottom.
struct TMarkBox {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class TCalendarCanvas {
 public:
  virtual ~TCalendarCanvas() = default;

  virtual void SetFont(TCalendarFontRole font) = 0;
  virtual void SetFontColor(TCalendarColorRole color) = 0;
  virtual void SetBrushColor(TCalendarColorRole color) = 0;
  virtual void SetPenColor(TCalendarColorRole color) = 0;

  // Fills left <= x < right, top <= y < bottom with the brush colour.
  virtual void FillRect(int left, int top, int right, int bottom) = 0;
  virtual void MoveTo(int x, int y) = 0;
  // A line in the pen colour from the current point up to, but not
  // including, (x, y), which becomes the current point.
  virtual void LineTo(int x, int y) = 0;
  // Text with its top-left corner at (x, y), its box of TextWidth x
  // TextHeight first filled with the brush colour.
  virtual void TextOut(int x, int y, std::string_view gbk) = 0;
  // The same, narrowed to `width` pixels: for a text wider than its cell,
  // which would otherwise run under its neighbour's.
  virtual void TextOutNarrowed(int x, int y, int width, std::string_view gbk) = 0;
  virtual int TextWidth(std::string_view gbk) = 0;
  virtual int TextHeight(std::string_view gbk) = 0;
  // `box` filled with `ground`, and the text in the current font and the
  // colour `ink` one pixel inside it; the brush colour is `ground` after.
  // This does it with the calls above; a canvas may put the same pixels
  // down faster.
  virtual void DrawBadge(const TMarkBox& box, std::string_view gbk, TCalendarColorRole ground,
                         TCalendarColorRole ink);
  // Fills the box with a colour of the data (0xRRGGBB), not one of the
  // grid's roles. A canvas that only measures may ignore it.
  virtual void FillRectRgb(const TMarkBox& box, std::uint32_t rgb);
};

// Where `text` goes in a cell of `grid` with the canvas's current font.
TTextPos TextOffset(const TCalendarGrid& grid, TCalendarCanvas& canvas, std::string_view text,
                    double yDivisor, double xDivisor);

// The mark of a day whose duty the rota changes: one GBK character (换, 假,
// 加, 改), or empty for a day as the rotation has it. The grid asks it while
// it paints, so the text must outlive the paint.
using TDayMarks = std::function<std::string_view(int year, int month, int day)>;
// The colour of a day's duty (0xRRGGBB), or -1 for none: the month view
// draws it as a bar along the bottom of the day's cell.
using TDayColors = std::function<std::int32_t(int year, int month, int day)>;

// The three paints. Each takes the control's size from grid.Width and
// grid.Height and updates the grid's fields as the widget's own. A day
// with a mark gets a badge in the month view and a dot in the year view;
// without marks (or with none given) not a pixel differs.
void DrawGrid(TCalendarGrid& grid, TCalendarCanvas& canvas, int cols, int rows);
void DrawMonth(TCalendarGrid& grid, TCalendarCanvas& canvas, int cols, int rows, int month,
               const TDayMarks& marks = {}, const TDayColors& colors = {});
void DrawYear(TCalendarGrid& grid, TCalendarCanvas& canvas, int cols, int rows, int year, int colOffset,
              int rowOffset, const TDayMarks& marks = {});

// Where the month view puts the badge of `day`'s cell, in the grid's
// coordinates, for a badge character of `textWidth` x `textHeight`: under
// the holiday mark's corner, left of the day number and above the lunar text.
TMarkBox MonthMarkBox(const TCalendarGrid& grid, int day, int textWidth, int textHeight);

}  // namespace kadrel
