// The calendar grid: the picture on which the main window shows a year (one
// row per month, days under a repeated weekday header) or a month (weeks of
// seven days with lunar dates and solar terms), and the hit test that tells
// which day lies under the pointer.
//
// The grid keeps its picture until the next DrawYear or DrawMonth and never
// repaints on its own; paintEvent only shows the picture, and over it the
// focus mark of the focused day once the window is worked from the keyboard.
// It handles no key and raises no event of its own: the main window watches
// the mouse and the keys through an event filter, asks CellAt and moves the
// focused day.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string_view>

#include "calendar/uCalendDay.h"
#include "calendar/uCalendarGeometry.h"
#include "calendar/uCalendarLayout.h"

namespace kadrel {

// Font style bits of a TSampleFont.
enum TFontStyleBit : std::uint8_t {
  fsBold = 1 << 0,
  fsItalic = 1 << 1,
  fsUnderline = 1 << 2,
  fsStrikeOut = 1 << 3,
};
using TFontStyles = std::uint8_t;

struct TSampleFont {
  QString FontName = QStringLiteral("宋体");
  // Points at 96 pixels per inch, the resolution the grid's pixel layout
  // was made for, whatever the screen reports: 9 is 12 pixels.
  std::int32_t FontSize = 9;
  TFontStyles FontStyle = 0;
};

struct TFontOfCalendar {
  TSampleFont HeadFont;   // weekday headers, month labels, year label
  TSampleFont DayFont;    // Gregorian day numbers
  TSampleFont LunarFont;  // lunar texts and solar terms
};

struct TCalendarColors {
  QColor BackColor = Qt::white;
  QColor HeadColor = QColor(0, 0, 255);  // month view weekday header, year label
  QColor LineColor = QColor(0, 0, 255);
  QColor SpareColor = QColor(255, 0, 0);    // kept for callers; nothing paints with it
  QColor WeekendColor = QColor(255, 0, 0);  // every text of a Saturday or Sunday
  QColor DayColor = QColor(0, 0, 255);      // day numbers, month labels, year view weekday header
  QColor LunarColor = QColor(0, 0, 255);
};

// The platform's tooltip background, the grid's background in the main
// window. Resolved now, from the application palette.
QColor SystemTooltipColor();

class TCalendarTextCache;

class TCalendar : public QWidget {
  Q_OBJECT

 public:
  // Year is the current year, all fonts "宋体" 9 point, colours as in
  // TCalendarColors; nothing is drawn until DrawYear or DrawMonth.
  explicit TCalendar(QWidget* parent = nullptr);
  ~TCalendar() override;

  // Both copy and take effect at the next DrawMonth or DrawYear.
  void SetFonts(const TFontOfCalendar& fonts);
  void SetColors(const TCalendarColors& colors);
  const TFontOfCalendar& Fonts() const { return fonts_; }
  const TCalendarColors& Colors() const { return colors_; }

  // The badges of the days the rota changes; takes effect at the next
  // DrawMonth or DrawYear. Empty: no day has one.
  void SetDayMarks(TDayMarks marks);
  // The colours of the days' duties, likewise; empty: no day has one.
  void SetDayColors(TDayColors colors);

  // Each paints at the control's present size, resizing the picture to it.
  void DrawGrid(int cols, int rows);
  // Month `month` of Year.
  void DrawMonth(int cols, int rows, int month);
  // Makes `year` the grid's Year. Offsets below zero keep the present ones.
  void DrawYear(int cols, int rows, int year, int colOffset, int rowOffset);

  // The day of the current view under (x, y), in control coordinates, with
  // its lunar names. Days without lunar names (outside 1901-2050) come back
  // with the date and empty names.
  bool CellAt(int x, int y, TCalendKD& day) const;

  // The day record's operations (uCalendDay.h), offered by the control too.
  static constexpr void (&FillDay)(TCalendKD&) = kadrel::FillDay;
  static constexpr int (&DaysInMonth)(int, int) = kadrel::DaysInMonth;
  static constexpr int (&DayOfWeekOf)(int, int, int) = kadrel::DayOfWeekOf;

  std::int32_t Year() const { return grid_.Year; }
  std::int32_t Month() const { return grid_.Month; }
  bool YearMode() const { return grid_.YearMode; }
  std::int32_t CellWidth() const { return grid_.CellWidth; }
  std::int32_t CellHeight() const { return grid_.CellHeight; }
  std::int32_t ColCount() const { return grid_.ColCount; }
  std::int32_t RowCount() const { return grid_.RowCount; }
  std::int32_t ColOffset() const { return grid_.ColOffset; }
  std::int32_t RowOffset() const { return grid_.RowOffset; }
  const TCalendarGrid& Grid() const { return grid_; }

  // The picture as last drawn.
  const QImage& Picture() const { return picture_; }

  // The day of the month view that the keys act on, 0 for none; a day the
  // month does not have is taken as none. The month view's cell of a day,
  // between its lines; empty outside the month view.
  void SetFocusDay(int day);
  int FocusDay() const { return focusDay_; }
  QRect MonthDayRect(int day) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  template <class Paint>
  void PaintPicture(Paint&& paint);

  TFontOfCalendar fonts_;
  TCalendarColors colors_;
  TCalendarGrid grid_;
  QImage picture_;
  std::unique_ptr<TCalendarTextCache> texts_;
  TDayMarks marks_;
  TDayColors dutyColors_;
  int focusDay_ = 0;
};

// The badge of a changed day as the month view draws it, in `font`, for a
// list beside the grid to show the same mark.
QImage DayMarkBadge(std::string_view gbk, const TSampleFont& font);

}  // namespace kadrel
