// Label1: the strip in the title bar where the current user's name scrolls.
// Each timer tick repaints the whole strip in its colour and the text at the
// tick's x, so the text slides left and re-enters from the right. Until the
// first tick the strip is see-through, showing the gradient behind it.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace kadrel {

class TBannerLabel : public QWidget {
  Q_OBJECT

 public:
  explicit TBannerLabel(QWidget* parent = nullptr);

  QString Text() const { return text_; }
  void SetText(const QString& text) { text_ = text; }
  QColor Color() const { return color_; }
  void SetColor(const QColor& color) { color_ = color; }

  // The x at which the next tick draws the text.
  int Tag = 255;

  // Draws the strip with the text at x (the next repaint shows it).
  void DrawAt(int x);
  bool Drawn() const { return drawn_; }
  int DrawnX() const { return x_; }

  // What the strip shows after the last DrawAt, for a strip of `size`.
  void Paint(QPainter& painter, QSize size) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  QColor color_;
  bool drawn_ = false;
  int x_ = 0;
};

}  // namespace kadrel
