#include "calendar/uCalendar.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include "calendar/uCalendarLayout.h"
#include "calendar/uCalendarPainter.h"
#include "platform/uClock.h"
#include "platform/uDateTime.h"

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
  PaintPicture([&](TCalendarCanvas& canvas) { kadrel::DrawMonth(grid_, canvas, cols, rows, month); });
}

void TCalendar::DrawYear(int cols, int rows, int year, int colOffset, int rowOffset) {
  PaintPicture([&](TCalendarCanvas& canvas) {
    kadrel::DrawYear(grid_, canvas, cols, rows, year, colOffset, rowOffset);
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

void TCalendar::paintEvent(QPaintEvent* event) {
  if (picture_.isNull()) return;
  // A control grown since the last draw shows its parent beyond the picture
  // until the next draw resizes it.
  const QRect area = event->rect() & picture_.rect();
  if (area.isEmpty()) return;
  QPainter painter(this);
  painter.drawImage(area.topLeft(), picture_, area);
}

}  // namespace kadrel
