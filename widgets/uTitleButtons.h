// The round close button and the arrow (minimise) button of a window's title
// strip. Both are faces cut out of a gradient background and react only to
// clicks on their shape.
//
// The shapes are small value types with const hit tests; the faces paint
// onto any QPainter, so a test can check them on a QImage.
#pragma once

#include "widgets/uGradientPanel.h"

#include <QPixmap>
#include <QPolygon>
#include <QPointer>
#include <QWidget>

#include <array>

namespace kadrel {

// Disc of a round button of the given size.
struct TRoundShape {
  QSize Size;
  // With c = width div 2: inside when the distance from (c, height div 2),
  // rounded, is at most c − 1.
  bool Contains(QPoint p) const;
  // Where the ring changes colour: (4·(w div 5), h div 5) and
  // (w div 5, 4·(h div 5)).
  QPoint UpperSplit() const { return {4 * (Size.width() / 5), Size.height() / 5}; }
  QPoint LowerSplit() const { return {Size.width() / 5, 4 * (Size.height() / 5)}; }
};

struct TRoundButtonFace {
  const TPanelBackground* Background = nullptr;
  bool Pressed = false;
  QPixmap Glyph;
  // Paints into `rect`; what lies outside the disc is left untouched.
  void paint(QPainter* painter, const QRect& rect) const;
};

enum class TArrowDirection { dUp, dRight, dLeft, dDown };

struct TArrowShape {
  QSize Size;
  TArrowDirection Direction = TArrowDirection::dUp;
  // P0, P1, P2: the two edges P0–P1 and P1–P2 are the shaded ones.
  std::array<QPoint, 3> Corners() const;
  bool Contains(QPoint p) const;
};

struct TArrowButtonFace {
  const TPanelBackground* Background = nullptr;
  TArrowDirection Direction = TArrowDirection::dUp;
  int ButtonRaise = 1;
  bool Pressed = false;
  QPixmap Glyph;
  void paint(QPainter* painter, const QRect& rect) const;
};

// A window-less round button: a disc of gradient with a 3-D ring.
class TRoundButton : public QWidget {
  Q_OBJECT

 public:
  explicit TRoundButton(QWidget* parent = nullptr);

  TPanelBackground* Background() const { return background_; }
  void SetBackground(TPanelBackground* background);
  QPixmap Glyph() const { return glyph_; }
  void SetGlyph(const QPixmap& glyph);
  bool Pressed() const { return pressed_; }
  bool Inside(QPoint p) const { return TRoundShape{size()}.Contains(p); }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void SetPressed(bool pressed);

  QPointer<TPanelBackground> background_;
  QMetaObject::Connection backgroundConnection_;
  QPixmap glyph_;
  bool pressed_ = false;
  bool tracking_ = false;
};

// A window-less triangular button with 3-D edges.
class TArrowButton : public QWidget {
  Q_OBJECT

 public:
  explicit TArrowButton(QWidget* parent = nullptr);

  TPanelBackground* Background() const { return background_; }
  void SetBackground(TPanelBackground* background);
  TArrowDirection ButtonType() const { return direction_; }
  void SetButtonType(TArrowDirection direction);
  int ButtonRaise() const { return raise_; }
  void SetButtonRaise(int width);
  QPixmap Glyph() const { return glyph_; }
  void SetGlyph(const QPixmap& glyph);
  bool Pressed() const { return pressed_; }
  bool Inside(QPoint p) const { return TArrowShape{size(), direction_}.Contains(p); }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPointer<TPanelBackground> background_;
  QMetaObject::Connection backgroundConnection_;
  TArrowDirection direction_ = TArrowDirection::dUp;
  int raise_ = 1;
  QPixmap glyph_;
  bool pressed_ = false;
};

}  // namespace kadrel
