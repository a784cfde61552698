#include "calendar/uCalendar.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include "calendar/uCalendarLayout.h"
#include "calendar/uCalendarPainter.h"
#include "platform/uClock.h"
#include "platform/uDateTime.h"
#include "widgets/uFocusMark.h"

namespace kadrel {

QColor SystemTooltipColor() {
  const QPalette palette = qGuiApp ? QGuiApplication::palette() : QPalette();
  return palette.color(QPalette::Active, QPalette::ToolTipBase);
}

TCalendar::TCalendar(QWidget* parent) : QWidget(parent), texts_(std::make_unique<TCalendarTextCache>()) {
  grid_.Year = DecodeDate(WholeDays(Today())).Year;
  // The main window's hover text follows the pointer without a button held.
  setMouseTracking(true);
}

TCalendar::~TCalendar() = default;

void TCalendar::SetFonts(const TFontOfCalendar& fonts) { fonts_ = fonts; }

void TCalendar::SetColors(const TCalendarColors& colors) { colors_ = colors; }

void TCalendar::SetDayMarks(TDayMarks marks) { marks_ = std::move(marks); }

void TCalendar::SetDayColors(TDayColors colors) { dutyColors_ = std::move(colors); }

template <class Paint>
void TCalendar::PaintPicture(Paint&& paint) {
  grid_.Width = width();
  grid_.Height = height();
  if (picture_.size() != size()) {
    picture_ = size().isEmpty() ? QImage() : QImage(size(), QImage::Format_RGB32);
  }
  if (picture_.isNull()) {
    // Nothing to see, but the grid's fields still follow the call.
    TQtCalendarCanvas canvas(nullptr, fonts_, colors_, *texts_);
    paint(static_cast<TCalendarCanvas&>(canvas));
  } else {
    QPainter painter(&picture_);
    TQtCalendarCanvas canvas(&painter, fonts_, colors_, *texts_);
    paint(static_cast<TCalendarCanvas&>(canvas));
  }
  update();
}

void TCalendar::DrawGrid(int cols, int rows) {
  PaintPicture([&](TCalendarCanvas& canvas) { kadrel::DrawGrid(grid_, canvas, cols, rows); });
}

void TCalendar::DrawMonth(int cols, int rows, int month) {
  PaintPicture([&](TCalendarCanvas& canvas) { kadrel::DrawMonth(grid_, canvas, cols, rows, month, marks_, dutyColors_); });
}

void TCalendar::DrawYear(int cols, int rows, int year, int colOffset, int rowOffset) {
  PaintPicture([&](TCalendarCanvas& canvas) {
    kadrel::DrawYear(grid_, canvas, cols, rows, year, colOffset, rowOffset, marks_);
  });
}

bool TCalendar::CellAt(int x, int y, TCalendKD& day) const {
  int year = 0, month = 0, d = 0;
  if (!GridDayAt(grid_, x, y, year, month, d)) return false;
  day.Year = year;
  day.Month = month;
  day.Day = d;
  FillDay(day);
  return true;
}

void TCalendar::SetFocusDay(int day) {
  focusDay_ = day;
  update();
}

QRect TCalendar::MonthDayRect(int day) const {
  if (grid_.YearMode || grid_.CellWidth <= 0 || grid_.Month < 1 || grid_.Month > 12 || day < 1 ||
      day > DaysInMonth(grid_.Year, grid_.Month)) {
    return {};
  }
  const TGridCell cell = MonthViewCell(grid_.Year, grid_.Month, day);
  // Between the line on the left (x = col * width) and the one below (y =
  // (row + 1) * height - 1).
  return {cell.Col * grid_.CellWidth + 1, cell.Row * grid_.CellHeight, grid_.CellWidth - 1, grid_.CellHeight - 1};
}

void TCalendar::paintEvent(QPaintEvent* event) {
  if (picture_.isNull()) return;
  // A control grown since the last draw shows its parent beyond the picture
  // until the next draw resizes it.
  const QRect area = event->rect() & picture_.rect();
  if (area.isEmpty()) return;
  QPainter painter(this);
  painter.drawImage(area.topLeft(), picture_, area);
  // Over the picture, never in it: the picture stays what DrawMonth made.
  const QRect focus = MonthDayRect(focusDay_);
  if (!focus.isEmpty() && ShowsFocusMark(*this)) DrawFocusMark(painter, focus.adjusted(1, 1, -1, -1), colors_.LineColor);
}

QImage DayMarkBadge(std::string_view gbk, const TSampleFont& font) {
  TCalendarTextCache texts;
  TFontOfCalendar fonts;
  fonts.LunarFont = font;
  const TCalendarColors colors;
  // Measured first on a canvas without a painter, then drawn at that size.
  TQtCalendarCanvas sizing(nullptr, fonts, colors, texts);
  sizing.SetFont(TCalendarFontRole::Lunar);
  const QSize size(sizing.TextWidth(gbk) + 2, sizing.TextHeight(gbk) + 2);

  QImage badge(size, QImage::Format_RGB32);
  QPainter painter(&badge);
  TQtCalendarCanvas canvas(&painter, fonts, colors, texts);
  canvas.SetFont(TCalendarFontRole::Lunar);
  canvas.DrawBadge({0, 0, size.width(), size.height()}, gbk, TCalendarColorRole::ChangeMark,
                   TCalendarColorRole::ChangeText);
  return badge;
}

}  // namespace kadrel
