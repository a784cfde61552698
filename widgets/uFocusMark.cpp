#include "widgets/uFocusMark.h"

#include <QPainter>
#include <QPolygon>
#include <QWidget>

namespace kadrel {

void DrawFocusMark(QPainter& painter, const QRect& rect, const QColor& color) {
  if (rect.width() < 1 || rect.height() < 1) return;
  QPolygon dots;
  auto dot = [&](int x, int y) {
    if ((x - rect.left() + y - rect.top()) % 2 == 0) dots << QPoint(x, y);
  };
  for (int x = rect.left(); x <= rect.right(); ++x) {
    dot(x, rect.top());
    if (rect.bottom() != rect.top()) dot(x, rect.bottom());
  }
  for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
    dot(rect.left(), y);
    if (rect.right() != rect.left()) dot(rect.right(), y);
  }
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(color, 0));
  painter.drawPoints(dots);
  painter.restore();
}

bool ShowsFocusMark(const QWidget& widget) {
  return widget.hasFocus() && widget.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void ShowKeyboardCues(QWidget& widget) {
  QWidget* window = widget.window();
  if (window->testAttribute(Qt::WA_KeyboardFocusChange)) return;
  window->setAttribute(Qt::WA_KeyboardFocusChange);
  window->update();
}

}  // namespace kadrel
