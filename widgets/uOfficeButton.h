// The office-style start button at the top left of the main window: a
// rounded, lightly shaded face that lights up under the pointer, with a
// three-dimensional caption.
#pragma once

#include "widgets/uFont3D.h"

#include <QAbstractButton>

namespace kadrel {

struct TOfficeButtonFace {
  QString Caption;
  QFont Font;
  QColor FontColor = QColor(0, 0, 0);
  TFont3D Font3D;
  bool Enabled = true;
  bool Hot = false;
  bool Down = false;
  bool Focused = false;  // has the focus in a window worked from the keyboard
  void paint(QPainter* painter, const QRect& rect) const;
};

// The start button's caption style: a highlight copy at the caption's own
// place and the text one pixel right and down of it.
TFont3D StartButtonFont3D();

class TOfficeButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit TOfficeButton(QWidget* parent = nullptr);

  const TFont3D& Font3D() const { return font3D_; }
  void SetFont3D(const TFont3D& style);
  TOfficeButtonFace Face() const;
  QSize sizeHint() const override;

 signals:
  // Every button's release over the button, left or not; the owner decides
  // which buttons count (the command menu opens for the left one only).
  void MouseUp(Qt::MouseButton button, QPoint position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TFont3D font3D_ = StartButtonFont3D();
};

}  // namespace kadrel
