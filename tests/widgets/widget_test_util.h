// Small helpers shared by the widget tests: readable failure output for Qt
// value types, and pictures to paint renderers on.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <ostream>

inline void PrintTo(const QColor& c, std::ostream* os) {
  *os << "RGB(" << c.red() << ", " << c.green() << ", " << c.blue() << ")";
}
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << "(" << p.x() << ", " << p.y() << ")"; }
inline void PrintTo(const QRect& r, std::ostream* os) {
  *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}

namespace kadrel::test {

inline QImage Canvas(int w, int h, const QColor& fill = QColor(255, 0, 255)) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

inline QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

// Bounding box of the pixels of exactly `color`.
inline QRect BoxOf(const QImage& image, const QColor& color) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == color) box |= QRect(x, y, 1, 1);
  return box;
}

}  // namespace kadrel::test
