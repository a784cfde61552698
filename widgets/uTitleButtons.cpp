#include "widgets/uTitleButtons.h"

#include "widgets/uSysColors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include <cmath>
#include <numbers>

namespace kadrel {

namespace {

// The background cut to `rect`'s size, as the face's fill.
QImage BackgroundPicture(const TPanelBackground* background, QSize size, const QColor& fallback) {
  QImage picture(size, QImage::Format_RGB32);
  picture.fill(fallback);
  if (background) {
    QPainter p(&picture);
    background->PaintBackground(p, size.width(), size.height(), true);
  }
  return picture;
}

// Angle in degrees (counter-clockwise from three o'clock) of `to` seen from
// the centre of the ellipse in `box`, in the ellipse's own parameter so that
// the arc passes through the direction of `to` on any ellipse.
double ArcAngle(const QRectF& box, QPointF to) {
  const QPointF c = box.center();
  const double dx = (to.x() - c.x()) / (box.width() / 2);
  const double dy = (to.y() - c.y()) / (box.height() / 2);
  return std::atan2(-dy, dx) * 180 / std::numbers::pi;
}

int ToSixteenths(double degrees) { return int(std::lround(degrees * 16)); }

void DrawGlyph(QPainter* painter, const QPixmap& glyph, QPoint centre) {
  if (glyph.isNull()) return;
  const QSize s = glyph.deviceIndependentSize().toSize();
  painter->drawPixmap(centre.x() - s.width() / 2, centre.y() - s.height() / 2, glyph);
}

}  // namespace

bool TRoundShape::Contains(QPoint p) const {
  const int c = Size.width() / 2;
  if (c < 1) return false;
  const std::int64_t dx = c - p.x();
  const std::int64_t dy = Size.height() / 2 - p.y();
  // round(√d²) ≤ c − 1  ⇔  √d² < c − ½  (a square root of an integer is
  // never exactly a half, so the halves-to-even rule never comes into play).
  return 4 * (dx * dx + dy * dy) < (2 * std::int64_t(c) - 1) * (2 * std::int64_t(c) - 1);
}

void TRoundButtonFace::paint(QPainter* painter, const QRect& rect) const {
  if (rect.isEmpty()) return;
  painter->save();
  painter->translate(rect.topLeft());
  // One-pixel outlines are whole pixels: antialiased, each would smear
  // into two half-strength ones.
  painter->setRenderHint(QPainter::Antialiasing, false);
  const int w = rect.width(), h = rect.height();

  const QRectF disc(0.5, 0.5, w - 1, h - 1);
  QPainterPath discPath;
  discPath.addEllipse(disc);
  painter->save();
  painter->setClipPath(discPath);
  painter->drawImage(0, 0, BackgroundPicture(Background, rect.size(), ClBtnFace()));
  painter->restore();
  painter->setPen(QPen(QColor(0, 0, 0), 1));
  painter->setBrush(Qt::NoBrush);
  painter->drawEllipse(disc);

  // Pixel (x, y) has its centre at (x + 0.5, y + 0.5); the ring runs on the
  // pixels from (1, 1) to (w − 2, h − 2).
  const QRectF ring(1.5, 1.5, w - 3, h - 3);
  const TRoundShape shape{rect.size()};
  const double upper = ArcAngle(ring, QPointF(shape.UpperSplit()) + QPointF(0.5, 0.5));
  const double lower = ArcAngle(ring, QPointF(shape.LowerSplit()) + QPointF(0.5, 0.5));
  double span = std::fmod(lower - upper + 720, 360);
  const QColor lit = Pressed ? ClBtnShadow() : ClBtnHighlight();
  const QColor dark = Pressed ? ClBtnHighlight() : ClBtnShadow();
  painter->setPen(QPen(lit, 1));
  painter->drawArc(ring, ToSixteenths(upper), ToSixteenths(span));
  painter->setPen(QPen(dark, 1));
  painter->drawArc(ring, ToSixteenths(lower), ToSixteenths(360 - span));

  DrawGlyph(painter, Glyph, QPoint(w / 2, h / 2 - 1));
  painter->restore();
}

std::array<QPoint, 3> TArrowShape::Corners() const {
  const int w = Size.width(), h = Size.height();
  switch (Direction) {
    case TArrowDirection::dUp: return {QPoint(w / 2, 2), QPoint(w - 2, h - 2), QPoint(2, h - 2)};
    case TArrowDirection::dRight: return {QPoint(2, 2), QPoint(w - 2, h / 2), QPoint(2, h - 2)};
    case TArrowDirection::dDown: return {QPoint(w - 2, 2), QPoint(w / 2, h - 2), QPoint(2, 2)};
    case TArrowDirection::dLeft:
      // P0–P2 faces the upper left, so it takes the highlight like the
      // other three directions.
      return {QPoint(w - 2, 2), QPoint(w - 2, h - 2), QPoint(2, h / 2)};
  }
  return {};
}

bool TArrowShape::Contains(QPoint p) const {
  const auto c = Corners();
  return QRegion(QPolygon({c[0], c[1], c[2]})).contains(p);
}

void TArrowButtonFace::paint(QPainter* painter, const QRect& rect) const {
  if (rect.isEmpty()) return;
  painter->save();
  painter->translate(rect.topLeft());
  const auto c = TArrowShape{rect.size(), Direction}.Corners();
  const QPolygon triangle({c[0], c[1], c[2]});

  painter->setPen(QPen(QColor(0, 0, 0), 1));
  painter->setBrush(Qt::NoBrush);
  painter->drawPolygon(triangle.translated(2, 2));

  painter->save();
  painter->setClipRegion(QRegion(triangle));
  painter->drawImage(0, 0, BackgroundPicture(Background, rect.size(), QColor(255, 255, 255)));
  painter->restore();

  DrawGlyph(painter, Glyph, QRect(QPoint(0, 0), rect.size()).center());

  painter->setRenderHint(QPainter::Antialiasing, false);
  const QColor lit = Pressed ? ClBtnShadow() : ClBtnHighlight();
  const QColor dark = Pressed ? ClBtnHighlight() : ClBtnShadow();
  const int pen = std::max(1, ButtonRaise);
  painter->setPen(QPen(dark, pen, Qt::SolidLine, Qt::SquareCap));
  painter->drawLine(c[0], c[1]);
  painter->drawLine(c[1], c[2]);
  painter->setPen(QPen(lit, pen, Qt::SolidLine, Qt::SquareCap));
  painter->drawLine(c[0], c[2]);
  painter->restore();
}

TRoundButton::TRoundButton(QWidget* parent) : QWidget(parent) { resize(25, 25); }

void TRoundButton::SetBackground(TPanelBackground* background) {
  FollowBackground(this, background_, backgroundConnection_, background);
}

void TRoundButton::SetGlyph(const QPixmap& glyph) {
  glyph_ = glyph;
  update();
}

void TRoundButton::SetPressed(bool pressed) {
  if (pressed_ == pressed) return;
  pressed_ = pressed;
  update();
}

void TRoundButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TRoundButtonFace{background_.data(), pressed_, glyph_}.paint(&painter, rect());
}

void TRoundButton::mousePressEvent(QMouseEvent* event) {
  if (isEnabled() && Inside(event->position().toPoint())) SetPressed(true);
  tracking_ = true;
  event->accept();
}

void TRoundButton::mouseMoveEvent(QMouseEvent* event) {
  if (tracking_) SetPressed(isEnabled() && Inside(event->position().toPoint()));
}

void TRoundButton::mouseReleaseEvent(QMouseEvent* event) {
  tracking_ = false;
  // Cleared on every release, not only inside the disc: a press that ends
  // outside without a move in between would otherwise leave the ring sunken.
  SetPressed(false);
  if (isEnabled() && Inside(event->position().toPoint())) emit clicked();
}

void TRoundButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) SetPressed(false);
  QWidget::changeEvent(event);
}

TArrowButton::TArrowButton(QWidget* parent) : QWidget(parent) { resize(52, 28); }

void TArrowButton::SetBackground(TPanelBackground* background) {
  FollowBackground(this, background_, backgroundConnection_, background);
}

void TArrowButton::SetButtonType(TArrowDirection direction) {
  direction_ = direction;
  update();
}

void TArrowButton::SetButtonRaise(int width) {
  raise_ = width;
  update();
}

void TArrowButton::SetGlyph(const QPixmap& glyph) {
  glyph_ = glyph;
  update();
}

void TArrowButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TArrowButtonFace{background_.data(), direction_, raise_, pressed_, glyph_}.paint(&painter, rect());
}

void TArrowButton::mousePressEvent(QMouseEvent* event) {
  // Outside the triangle the press is swallowed: it neither presses the
  // button nor reaches the panel below (which would start a drag).
  event->accept();
  if (event->button() != Qt::LeftButton || !isEnabled()) return;
  if (!Inside(event->position().toPoint())) return;
  pressed_ = true;
  update();
}

void TArrowButton::mouseReleaseEvent(QMouseEvent* event) {
  if (!pressed_ || event->button() != Qt::LeftButton) return;
  pressed_ = false;
  update();
  if (rect().contains(event->position().toPoint())) emit clicked();
}

}  // namespace kadrel
