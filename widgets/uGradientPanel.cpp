#include "widgets/uGradientPanel.h"

#include "widgets/uSkinMath.h"
#include "widgets/uSysColors.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kadrel {

namespace {

QColor OrSystem(const QColor& color, QColor (*system)()) {
  return color.isValid() ? color : system();
}

int RaiseZero(int channel) { return channel == 0 ? 1 : channel; }

// Where the step stands in the whole gradient, 0 at the first step of the
// first segment and 1 just past the last, for the shapes whose geometry the
// look leaves free.
struct TProgress {
  double From;
  double To;
};

TProgress ProgressOf(int segments, int k, int i, int colorCount) {
  const double total = double(segments) * colorCount;
  const double at = double(k) * colorCount + i;
  return {at / total, (at + 1) / total};
}

// The part of the picture on the lower right of the line x/w + y/h = c.
QPolygonF BeyondDiagonal(int w, int h, double c) {
  const QPointF a(c * w + w, -h);
  const QPointF b(c * w - 2.0 * w, 2.0 * h);
  const QPointF far(4.0 * w, 4.0 * h);
  return QPolygonF({a, b, b + far, a + far});
}

void FillEllipse(QPainter& p, const QRectF& r) { p.drawEllipse(r); }

// Rectangles go through fillRect so that a width of w covers exactly w pixels.
void FillRect(QPainter& p, const QRect& r) {
  if (r.width() > 0 && r.height() > 0) p.fillRect(r, p.brush());
}

void DrawShape(QPainter& p, TFillStyle style, int w, int h, int n, int k, int i, int count) {
  const TProgress at = ProgressOf(n, k, i, count);
  switch (style) {
    case TFillStyle::SquareMiddle: {
      const QRect r = TGradientFill::SquareMiddleRect(w, h, n, k, i, count);
      FillRect(p, r);
      return;
    }
    case TFillStyle::RoundMiddle: {
      const QRect r = TGradientFill::SquareMiddleRect(w, h, n, k, i, count);
      if (r.width() > 0 && r.height() > 0) FillEllipse(p, r);
      return;
    }
    case TFillStyle::Horizontal:
    case TFillStyle::Spectral: {
      const int x = int(std::lround(w * at.From));
      FillRect(p, QRect(x, 0, w - x, h));
      return;
    }
    case TFillStyle::Vertical: {
      const int y = int(std::lround(h * at.From));
      FillRect(p, QRect(0, y, w, h - y));
      return;
    }
    case TFillStyle::LeftBottom: {
      const int x = int(std::lround(w * at.From));
      const int y = int(std::lround(h * at.From));
      FillRect(p, QRect(0, y, w - x, h - y));
      return;
    }
    case TFillStyle::Circle: {
      const double radius = std::hypot(w, h) / 2 * (1 - at.From);
      FillEllipse(p, QRectF(w / 2.0 - radius, h / 2.0 - radius, 2 * radius, 2 * radius));
      return;
    }
    case TFillStyle::MiddleHBar: {
      const int d = int(std::lround(h / 2.0 * at.From));
      FillRect(p, QRect(0, d, w, h - 2 * d));
      return;
    }
    case TFillStyle::MiddleVBar: {
      const int d = int(std::lround(w / 2.0 * at.From));
      FillRect(p, QRect(d, 0, w - 2 * d, h));
      return;
    }
    case TFillStyle::VerticalDoppelBar: {
      const int half = w / 2;
      const int d = int(std::lround(half / 2.0 * at.From));
      FillRect(p, QRect(d, 0, half - 2 * d, h));
      FillRect(p, QRect(half + d, 0, w - half - 2 * d, h));
      return;
    }
    case TFillStyle::HorizontalDoppelBar: {
      const int half = h / 2;
      const int d = int(std::lround(half / 2.0 * at.From));
      FillRect(p, QRect(0, d, w, half - 2 * d));
      FillRect(p, QRect(0, half + d, w, h - half - 2 * d));
      return;
    }
    case TFillStyle::Singleflash:
      p.drawPolygon(BeyondDiagonal(w, h, 2 * at.From));
      return;
    case TFillStyle::DoppelFlash: {
      // Two flashes from opposite corners meeting on the diagonal.
      QPainterPath band;
      band.addPolygon(BeyondDiagonal(w, h, at.From));
      QPainterPath beyond;
      beyond.addPolygon(BeyondDiagonal(w, h, 2 - at.From));
      p.drawPath(band.subtracted(beyond));
      return;
    }
  }
}

}  // namespace

std::vector<QColor> TGradientFill::ColorList(bool forward) const {
  const QColor begin = OrSystem(BeginColor, ClBtnShadow);
  const QColor end = OrSystem(EndColor, ClBtnHighlight);
  std::vector<QColor> list;
  list.reserve(ColorsInBetween.size() + 2);
  list.push_back(forward ? begin : end);
  list.insert(list.end(), ColorsInBetween.begin(), ColorsInBetween.end());
  list.push_back(forward ? end : begin);
  return list;
}

QColor TGradientFill::StepColor(const QColor& from, const QColor& to, int step) const {
  auto channel = [&](int a, int b) {
    return RaiseZero(ColorCount == 1 ? a : a + MulDiv(step, b - a, ColorCount - 1));
  };
  return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                channel(from.blue(), to.blue()));
}

QRect TGradientFill::SquareMiddleRect(int width, int height, int segments, int k, int i,
                                      int colorCount) {
  const int hs = RoundHalfEven(height, segments);
  const int ws = RoundHalfEven(width, segments);
  const int yo = RoundHalfEven(std::int64_t(hs) * k, 2);
  const int xo = RoundHalfEven(std::int64_t(ws) * k, 2);
  const int dy = MulDiv(i, RoundHalfEven(hs, 2), colorCount);
  const int dx = MulDiv(i, RoundHalfEven(ws, 2), colorCount);
  return QRect(xo + dx, yo + dy, width - 2 * dx - 2 * xo, height - 2 * dy - 2 * yo);
}

void TGradientFill::FillGradient(QPainter& painter, int width, int height, bool forward,
                                 const QColor& firstFill) const {
  if (width <= 0 || height <= 0) return;
  const std::vector<QColor> colors = ColorList(forward);
  const int segments = int(colors.size()) - 1;
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(firstFill);
  {
    QPainter p(&picture);
    p.fillRect(picture.rect(), colors[0]);
    p.setPen(Qt::NoPen);
    for (int k = 0; k < segments; ++k) {
      for (int i = 0; i < ColorCount; ++i) {
        const QColor color =
            FillStyle == TFillStyle::Spectral
                ? QColor::fromHsvF(std::min(0.999, ProgressOf(segments, k, i, ColorCount).From) * 0.83, 1, 1)
                : StepColor(colors[k], colors[k + 1], i);
        p.setBrush(color);
        DrawShape(p, FillStyle, width, height, segments, k, i, ColorCount);
      }
    }
  }
  painter.drawImage(0, 0, picture);
}

namespace {

struct TPass {
  std::optional<QColor> LeftTop;
  std::optional<QColor> RightBottom;
};

void DrawPass(QPainter& p, QRect& rect, const TPass& pass, int width, std::uint8_t edges) {
  for (int n = 0; n < width; ++n) {
    const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    if (r >= l && b >= t) {
      if (pass.LeftTop) {
        if (edges & EdgeLeft) p.fillRect(QRect(l, t + 1, 1, b - t), *pass.LeftTop);
        if (edges & EdgeTop) p.fillRect(QRect(l, t, r - l, 1), *pass.LeftTop);
      }
      if (pass.RightBottom) {
        if (edges & EdgeRight) p.fillRect(QRect(r, t, 1, b - t), *pass.RightBottom);
        if (edges & EdgeBottom) p.fillRect(QRect(l, b, r - l + 1, 1), *pass.RightBottom);
      }
    }
    rect.adjust(1, 1, -1, -1);
  }
}

}  // namespace

void TPanelFrame::DrawFrame(QPainter& painter, QRect& rect) const {
  const QColor hi = OrSystem(Highlight, ClBtnHighlight);
  const QColor sh = OrSystem(Shadow, ClBtnShadow);
  const QColor black(0, 0, 0);
  const std::optional<QColor> none;
  std::vector<TPass> passes;
  switch (FrameStyle) {
    case TFrameStyle::frameSolid: passes = {{Solid, Solid}}; break;
    case TFrameStyle::frameRaised: passes = {{hi, sh}}; break;
    case TFrameStyle::frameLowered: passes = {{sh, hi}}; break;
    case TFrameStyle::frameNone: break;
    case TFrameStyle::frameFramedUp: passes = {{hi, sh}, {sh, hi}}; break;
    case TFrameStyle::frameFramedDown: passes = {{sh, hi}, {hi, sh}}; break;
    case TFrameStyle::framePanelUp: passes = {{hi, black}, {none, sh}}; break;
    case TFrameStyle::framePanelDown: passes = {{sh, none}, {black, hi}}; break;
    case TFrameStyle::frameLightBordered: passes = {{none, sh}, {hi, hi}}; break;
  }
  for (const TPass& pass : passes) DrawPass(painter, rect, pass, FrameWidth, Edges);
}

TPanelBackground::TPanelBackground(QObject* parent) : QObject(parent) {}

void TPanelBackground::Touch() {
  cache_ = {};
  emit Changed();
}

void TPanelBackground::SetBackgroundStyle(TBackgroundStyle style) {
  if (style_ == style) return;
  style_ = style;
  Touch();
}

void TPanelBackground::SetSolidColor(const QColor& color) {
  if (solid_ == color) return;
  solid_ = color;
  Touch();
}

void TPanelBackground::SetGradient(const TGradientFill& gradient) {
  if (gradient_ == gradient) return;
  gradient_ = gradient;
  Touch();
}

void TPanelBackground::SetTexture(const QPixmap& texture) {
  texture_ = texture;
  Touch();
}

void TPanelBackground::SetBrushFill(Qt::BrushStyle style, const QColor& color) {
  brushStyle_ = style;
  brushColor_ = color;
  Touch();
}

void TPanelBackground::PaintBackground(QPainter& painter, int width, int height, bool forward) const {
  if (width <= 0 || height <= 0) return;
  const QRect area(0, 0, width, height);
  const QColor solid = OrSystem(solid_, ClBtnFace);
  switch (style_) {
    case TBackgroundStyle::bGradient: {
      const bool fresh = cache_.Image.size() == area.size() && cache_.Forward == forward &&
                         cache_.FirstFill == solid;
      if (!fresh) {
        cache_.Image = QImage(area.size(), QImage::Format_RGB32);
        QPainter p(&cache_.Image);
        gradient_.FillGradient(p, width, height, forward, solid);
        cache_.Forward = forward;
        cache_.FirstFill = solid;
      }
      painter.drawImage(0, 0, cache_.Image);
      return;
    }
    case TBackgroundStyle::bSolidcolor:
      painter.fillRect(area, solid);
      return;
    case TBackgroundStyle::bTexture:
      if (texture_.isNull()) {
        painter.fillRect(area, solid);
      } else {
        painter.drawTiledPixmap(area, texture_);
      }
      return;
    case TBackgroundStyle::bBrushFillSolidColor:
      painter.fillRect(area, solid);
      painter.fillRect(area, QBrush(brushColor_, brushStyle_));
      return;
    case TBackgroundStyle::bBrushFillUseCurrent:
      painter.fillRect(area, QBrush(painter.brush().color(), brushStyle_));
      return;
  }
}

void TPanelLook::paint(QPainter* painter, const QRect& rect) const {
  painter->save();
  painter->translate(rect.topLeft());
  const QRect whole(QPoint(0, 0), rect.size());
  painter->fillRect(whole, OrSystem(Color, ClBtnFace));
  if (Background) Background->PaintBackground(*painter, whole.width(), whole.height(), true);
  if (DlgFrame) {
    QRect dialog = whole;
    TPanelFrame dialogFrame;
    dialogFrame.FrameStyle = TFrameStyle::framePanelUp;
    dialogFrame.FrameWidth = 2;
    dialogFrame.DrawFrame(*painter, dialog);
  }
  QRect inside = whole;
  FrameOuter.DrawFrame(*painter, inside);
  if (Borderwidth > 0) inside.adjust(Borderwidth, Borderwidth, -Borderwidth, -Borderwidth);
  FrameInner.DrawFrame(*painter, inside);
  if (!Caption.isEmpty()) {
    DrawText3D(Font3D, *painter, Font, FontColor, Enabled, Alignment, Caption, inside);
  }
  painter->restore();
}

TGradientFill KadrelPanelGradient() {
  TGradientFill fill;
  fill.FillStyle = TFillStyle::SquareMiddle;
  fill.BeginColor = QColor(0, 52, 224);
  fill.EndColor = QColor(0, 52, 224);
  fill.ColorsInBetween = {*ColorFromText(u"$00F59A50")};
  fill.ColorCount = 32;
  return fill;
}

TGradientFill KadrelTitleButtonGradient() {
  TGradientFill fill;
  fill.FillStyle = TFillStyle::SquareMiddle;
  fill.BeginColor = QColor(0, 52, 224);
  fill.EndColor = QColor(104, 152, 255);
  fill.ColorsInBetween = {QColor(32, 32, 255)};
  fill.ColorCount = 32;
  return fill;
}

TPanelFrame KadrelOuterFrame() {
  const QColor blue(0, 52, 224);
  return {TFrameStyle::frameFramedDown, 1, blue, blue, blue, kAllEdges};
}

TPanelFrame KadrelInnerFrame() {
  const QColor light(130, 136, 255);
  return {TFrameStyle::frameFramedUp, 1, light, light, light, kAllEdges};
}

TGradientPanel::TGradientPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  LookChanged();
}

void FollowBackground(QWidget* widget, QPointer<TPanelBackground>& current, QMetaObject::Connection& connection,
                      TPanelBackground* background) {
  if (current == background) return;
  QObject::disconnect(connection);
  current = background;
  if (background) {
    connection = QObject::connect(background, &TPanelBackground::Changed, widget, qOverload<>(&QWidget::update));
  }
  widget->update();
}

void TGradientPanel::SetBackground(TPanelBackground* background) {
  FollowBackground(this, background_, backgroundConnection_, background);
}

void TGradientPanel::SetFrameOuter(const TPanelFrame& frame) {
  look_.FrameOuter = frame;
  LookChanged();
}

void TGradientPanel::SetFrameInner(const TPanelFrame& frame) {
  look_.FrameInner = frame;
  LookChanged();
}

void TGradientPanel::SetBorderwidth(int pixels) {
  look_.Borderwidth = std::max(0, pixels);
  LookChanged();
}

void TGradientPanel::SetDlgFrame(bool on) {
  look_.DlgFrame = on;
  LookChanged();
}

void TGradientPanel::SetCaption(const QString& caption) {
  look_.Caption = caption;
  LookChanged();
}

void TGradientPanel::SetFont3D(const TFont3D& style) {
  look_.Font3D = style;
  LookChanged();
}

void TGradientPanel::SetCaptionAlignment(Qt::Alignment alignment) {
  look_.Alignment = alignment;
  LookChanged();
}

void TGradientPanel::LookChanged() {
  const int inset = look_.ClientInset();
  setContentsMargins(inset, inset, inset, inset);
  update();
}

TPanelLook TGradientPanel::Look() const {
  TPanelLook look = look_;
  look.Background = background_.data();
  look.Color = palette().color(QPalette::Window);
  look.Font = font();
  look.FontColor = palette().color(QPalette::WindowText);
  look.Enabled = isEnabled();
  return look;
}

void TGradientPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Look().paint(&painter, rect());
}

}  // namespace kadrel
