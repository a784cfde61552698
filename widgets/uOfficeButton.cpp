#include "widgets/uOfficeButton.h"

#include "widgets/uFocusMark.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace kadrel {

namespace {

struct TFaceColors {
  QColor Top, Bottom, Border;
};

TFaceColors FaceColors(const TOfficeButtonFace& face) {
  if (!face.Enabled) return {QColor(236, 233, 216), QColor(214, 210, 192), QColor(172, 168, 153)};
  if (face.Down) return {QColor(254, 186, 116), QColor(255, 214, 154), QColor(0, 32, 140)};
  if (face.Hot) return {QColor(255, 244, 204), QColor(255, 208, 140), QColor(0, 32, 140)};
  return {QColor(255, 255, 255), QColor(196, 214, 250), QColor(0, 32, 140)};
}

}  // namespace

TFont3D StartButtonFont3D() {
  TFont3D style;
  style.Repetition = TRepetition::repeatOnShadow;
  style.Repetitionwidth = 0;
  return style;
}

void TOfficeButtonFace::paint(QPainter* painter, const QRect& rect) const {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  const TFaceColors colors = FaceColors(*this);
  const QRectF body = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient shade(body.topLeft(), body.bottomLeft());
  shade.setColorAt(0, colors.Top);
  shade.setColorAt(1, colors.Bottom);
  QPainterPath outline;
  outline.addRoundedRect(body, 5, 5);
  painter->fillPath(outline, shade);
  painter->setPen(QPen(colors.Border, 1));
  painter->drawPath(outline);
  painter->restore();

  const QRect caption = rect.adjusted(4, 2 + (Down ? 1 : 0), -4, -2 + (Down ? 1 : 0));
  DrawText3D(Font3D, *painter, Font, FontColor, Enabled, Qt::AlignHCenter, Caption, caption,
             TEllipsis::End);
  // Inside the rounded outline, clear of its corners.
  if (Focused) DrawFocusMark(*painter, rect.adjusted(3, 3, -4, -4), FontColor);
}

TOfficeButton::TOfficeButton(QWidget* parent) : QAbstractButton(parent) {
  setAttribute(Qt::WA_Hover);
  resize(130, 28);
}

void TOfficeButton::SetFont3D(const TFont3D& style) {
  font3D_ = style;
  update();
}

QSize TOfficeButton::sizeHint() const { return {130, 28}; }

TOfficeButtonFace TOfficeButton::Face() const {
  return {text(),       font(),   palette().color(QPalette::ButtonText), font3D_, isEnabled(),
          underMouse(), isDown(), ShowsFocusMark(*this)};
}

void TOfficeButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Face().paint(&painter, rect());
}

void TOfficeButton::mousePressEvent(QMouseEvent* event) {
  QAbstractButton::mousePressEvent(event);
  // A press of another button must not fall through to the panel below,
  // where it would begin dragging the window.
  event->accept();
}

void TOfficeButton::mouseReleaseEvent(QMouseEvent* event) {
  const bool over = rect().contains(event->position().toPoint());
  QAbstractButton::mouseReleaseEvent(event);
  if (over) emit MouseUp(event->button(), event->position().toPoint());
}

}  // namespace kadrel
