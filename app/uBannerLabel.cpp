#include "app/uBannerLabel.h"

#include "widgets/uSysColors.h"

#include <QPainter>

namespace kadrel {

TBannerLabel::TBannerLabel(QWidget* parent) : QWidget(parent), color_(0, 52, 224) {}

void TBannerLabel::DrawAt(int x) {
  x_ = x;
  drawn_ = true;
  update();
}

void TBannerLabel::Paint(QPainter& painter, QSize size) const {
  if (!drawn_) return;
  painter.fillRect(QRect(QPoint(0, 0), size), color_);
  if (text_.isEmpty()) return;
  painter.setFont(font());
  painter.setPen(ClWindow());
  // The text's top-left corner sits 3 pixels below the strip's top.
  painter.drawText(QPoint(x_, 3 + painter.fontMetrics().ascent()), text_);
}

void TBannerLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter, size());
}

}  // namespace kadrel
