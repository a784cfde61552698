// The gradient panel that fills every Kadrel window, and the parts it is
// painted with: a shared background (a multi-colour gradient by default) and
// two three-dimensional frames.
//
// TGradientFill and TPanelFrame are plain values that paint onto any
// QPainter; TPanelLook puts them together the way the panel does, so a test
// can render a whole panel onto a QImage without a widget.
#pragma once

#include "widgets/uFont3D.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <vector>

class QPainter;

namespace kadrel {

enum class TFillStyle {
  Circle,
  Horizontal,
  Vertical,
  LeftBottom,
  RoundMiddle,
  SquareMiddle,
  Spectral,
  DoppelFlash,
  Singleflash,
  MiddleHBar,
  MiddleVBar,
  VerticalDoppelBar,
  HorizontalDoppelBar,
};

// A gradient through BeginColor, ColorsInBetween and EndColor, ColorCount
// steps per segment between two neighbouring colours. Invalid begin or end
// colours stand for the system button-shadow and button-highlight colours.
struct TGradientFill {
  QColor BeginColor;
  QColor EndColor;
  std::vector<QColor> ColorsInBetween;
  TFillStyle FillStyle = TFillStyle::Horizontal;
  int ColorCount = 32;

  bool operator==(const TGradientFill&) const = default;

  // Paints the gradient over (0, 0)–(width, height). `forward` puts
  // BeginColor first; `firstFill` is laid down before anything else.
  void FillGradient(QPainter& painter, int width, int height, bool forward,
                    const QColor& firstFill) const;

  // The colour list in painting order: at least two entries, so n segments
  // for n + 1 entries.
  std::vector<QColor> ColorList(bool forward) const;

  // Colour of step `step` of the segment from `from` to `to`. A channel that
  // comes out 0 is raised to 1.
  QColor StepColor(const QColor& from, const QColor& to, int step) const;

  // The rectangle SquareMiddle fills for segment k, step i, with n segments.
  static QRect SquareMiddleRect(int width, int height, int segments, int k, int i, int colorCount);
};

enum class TFrameStyle {
  frameSolid,
  frameRaised,
  frameLowered,
  frameNone,
  frameFramedUp,
  frameFramedDown,
  framePanelUp,
  framePanelDown,
  frameLightBordered,
};

enum TEdge : std::uint8_t { EdgeLeft = 1, EdgeRight = 2, EdgeTop = 4, EdgeBottom = 8 };
inline constexpr std::uint8_t kAllEdges = EdgeLeft | EdgeRight | EdgeTop | EdgeBottom;

// A three-dimensional frame of one or two passes. Invalid Highlight or
// Shadow stand for the system button-highlight and button-shadow colours.
struct TPanelFrame {
  TFrameStyle FrameStyle = TFrameStyle::frameRaised;
  int FrameWidth = 1;
  QColor Highlight;
  QColor Shadow;
  QColor Solid = QColor(0, 0, 0);
  std::uint8_t Edges = kAllEdges;

  bool operator==(const TPanelFrame&) const = default;

  // Draws the passes inside `rect` and leaves `rect` inset by what they took.
  // Edges lie on rect.left(), rect.top(), rect.right() and rect.bottom().
  void DrawFrame(QPainter& painter, QRect& rect) const;

  // Pixels a child control keeps from the edge for this frame.
  int LayoutInset() const { return FrameStyle == TFrameStyle::frameNone ? 0 : FrameWidth; }
};

enum class TBackgroundStyle { bGradient, bTexture, bSolidcolor, bBrushFillUseCurrent, bBrushFillSolidColor };

// One background can serve several controls; each listens to Changed and
// repaints. An invalid SolidColor stands for the system button-face colour.
class TPanelBackground : public QObject {
  Q_OBJECT

 public:
  explicit TPanelBackground(QObject* parent = nullptr);

  TBackgroundStyle BackgroundStyle() const { return style_; }
  void SetBackgroundStyle(TBackgroundStyle style);
  QColor SolidColor() const { return solid_; }
  void SetSolidColor(const QColor& color);
  const TGradientFill& Gradient() const { return gradient_; }
  void SetGradient(const TGradientFill& gradient);
  const QPixmap& Texture() const { return texture_; }
  void SetTexture(const QPixmap& texture);
  Qt::BrushStyle BrushStyle() const { return brushStyle_; }
  QColor BrushColor() const { return brushColor_; }
  void SetBrushFill(Qt::BrushStyle style, const QColor& color);

  // Paints the chosen style over (0, 0)–(width, height).
  void PaintBackground(QPainter& painter, int width, int height, bool forward) const;

 signals:
  void Changed();

 private:
  void Touch();

  TBackgroundStyle style_ = TBackgroundStyle::bGradient;
  QColor solid_;
  TGradientFill gradient_;
  QPixmap texture_;
  Qt::BrushStyle brushStyle_ = Qt::BDiagPattern;
  QColor brushColor_ = QColor(0, 0, 0);

  // Panels repaint under every child that changes, so the last gradient
  // picture is kept rather than drawn band by band each time.
  struct TCache {
    QImage Image;
    bool Forward = true;
    QColor FirstFill;
  };
  mutable TCache cache_;
};

// Points `current` at `background` and keeps `widget` repainting whenever that
// background changes; the panel and the title buttons share one background.
void FollowBackground(QWidget* widget, QPointer<TPanelBackground>& current, QMetaObject::Connection& connection,
                      TPanelBackground* background);

// Everything a gradient panel paints, as one value.
struct TPanelLook {
  const TPanelBackground* Background = nullptr;
  TPanelFrame FrameOuter;
  TPanelFrame FrameInner;
  int Borderwidth = 0;
  bool DlgFrame = false;
  QColor Color;  // shown only when there is no background; invalid: button face
  QString Caption;
  Qt::Alignment Alignment = Qt::AlignHCenter;
  TFont3D Font3D;
  QFont Font;
  QColor FontColor = QColor(0, 0, 0);
  bool Enabled = true;

  // Paints the panel into `rect` as if `rect` were the whole panel.
  void paint(QPainter* painter, const QRect& rect) const;
  // Pixels between the panel's edge and where child controls are laid out.
  int ClientInset() const { return Borderwidth + FrameOuter.LayoutInset() + FrameInner.LayoutInset(); }
};

// The settings every window uses: the panel's gradient and frames, and the
// gradient the title buttons are cut from.
TGradientFill KadrelPanelGradient();
TGradientFill KadrelTitleButtonGradient();
TPanelFrame KadrelOuterFrame();
TPanelFrame KadrelInnerFrame();

class TGradientPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TGradientPanel(QWidget* parent = nullptr);

  TPanelBackground* Background() const { return background_; }
  void SetBackground(TPanelBackground* background);
  const TPanelFrame& FrameOuter() const { return look_.FrameOuter; }
  void SetFrameOuter(const TPanelFrame& frame);
  const TPanelFrame& FrameInner() const { return look_.FrameInner; }
  void SetFrameInner(const TPanelFrame& frame);
  int Borderwidth() const { return look_.Borderwidth; }
  void SetBorderwidth(int pixels);
  bool DlgFrame() const { return look_.DlgFrame; }
  void SetDlgFrame(bool on);
  QString Caption() const { return look_.Caption; }
  void SetCaption(const QString& caption);
  const TFont3D& Font3D() const { return look_.Font3D; }
  void SetFont3D(const TFont3D& style);
  void SetCaptionAlignment(Qt::Alignment alignment);

  // The look as it would be painted now.
  TPanelLook Look() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void LookChanged();

  QPointer<TPanelBackground> background_;
  QMetaObject::Connection backgroundConnection_;
  TPanelLook look_;
};

}  // namespace kadrel
