#include "widgets/uMenuImages.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <numbers>

namespace kadrel {

namespace {

// Every image is drawn on a 16 × 16 design grid.
using TDraw = void (*)(QPainter&);

const QColor kInk(40, 52, 96);
const QColor kBlue(0, 52, 224);
const QColor kLightBlue(120, 170, 250);
const QColor kPaper(255, 255, 255);

void Outline(QPainter& p, const QColor& color, double width = 1.0) {
  p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void Page(QPainter& p, const QRectF& r) {
  Outline(p, kInk);
  p.setBrush(kPaper);
  p.drawRect(r);
}

void CalendarSheet(QPainter& p) {
  Page(p, QRectF(1.5, 2.5, 13, 12));
  p.fillRect(QRectF(2, 3, 12, 3), QColor(214, 48, 48));
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col) p.drawRect(QRectF(3 + col * 2.75, 7.3 + row * 2.3, 1.7, 1.4));
}

void Gear(QPainter& p) {  // 0: configuration
  QPainterPath teeth;
  const QPointF c(8, 8);
  for (int n = 0; n < 8; ++n) {
    const double a = n * std::numbers::pi / 4;
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotateRadians(a);
    QPainterPath tooth;
    tooth.addRect(QRectF(-1.4, -7.5, 2.8, 3));
    teeth.addPath(t.map(tooth));
  }
  QPainterPath body;
  body.addEllipse(c, 5.2, 5.2);
  QPainterPath hole;
  hole.addEllipse(c, 2, 2);
  Outline(p, kInk, 0.8);
  p.setBrush(QColor(150, 160, 180));
  p.drawPath(teeth.united(body).subtracted(hole));
}

void Folder(QPainter& p) {  // 1
  Outline(p, QColor(150, 110, 20));
  p.setBrush(QColor(250, 210, 90));
  p.drawPolygon(QPolygonF({{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {14.5, 5}, {14.5, 13.5}, {1.5, 13.5}}));
}

void Disk(QPainter& p) {  // 2
  Outline(p, kInk);
  p.setBrush(kBlue);
  p.drawRect(QRectF(1.5, 1.5, 13, 13));
  p.fillRect(QRectF(4, 2, 8, 5), kPaper);
  p.fillRect(QRectF(4, 10, 8, 4), QColor(200, 200, 210));
}

void Export(QPainter& p) {  // 3: export
  Page(p, QRectF(1.5, 1.5, 9, 13));
  Outline(p, QColor(160, 160, 170));
  for (double y : {4.5, 6.5, 8.5}) p.drawLine(QPointF(3.5, y), QPointF(8.5, y));
  Outline(p, QColor(0, 140, 40), 2);
  p.drawLine(QPointF(7, 11), QPointF(13, 11));
  p.drawLine(QPointF(11, 8.5), QPointF(13.5, 11));
  p.drawLine(QPointF(11, 13.5), QPointF(13.5, 11));
}

void Badge(QPainter& p, const QColor& fill, const QString& mark) {
  Outline(p, fill.darker(140));
  p.setBrush(fill);
  p.drawEllipse(QRectF(1, 1, 14, 14));
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.setPen(kPaper);
  p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, mark);
}

void Help(QPainter& p) { Badge(p, QColor(40, 120, 230), QStringLiteral("?")); }  // 4

void Clock(QPainter& p) {  // 5
  Outline(p, kInk);
  p.setBrush(kPaper);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  Outline(p, kInk, 1.3);
  p.drawLine(QPointF(8, 8), QPointF(8, 4));
  p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
}

void DayPage(QPainter& p) {  // 6
  Page(p, QRectF(2.5, 1.5, 11, 13));
  p.fillRect(QRectF(3, 2, 10, 3), QColor(214, 48, 48));
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(8);
  f.setBold(true);
  p.setFont(f);
  p.setPen(kInk);
  p.drawText(QRectF(2.5, 5, 11, 9), Qt::AlignCenter, QStringLiteral("1"));
}

void MinimiseWindow(QPainter& p) {  // 7
  Page(p, QRectF(1.5, 2.5, 13, 11));
  p.fillRect(QRectF(2, 3, 12, 2.5), kBlue);
  Outline(p, kInk, 1.6);
  p.drawLine(QPointF(5, 11), QPointF(11, 11));
}

void Printer(QPainter& p) {  // 8: print
  Page(p, QRectF(4.5, 1.5, 7, 5));
  Outline(p, kInk);
  p.setBrush(QColor(170, 176, 190));
  p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5);
  Page(p, QRectF(4.5, 10.5, 7, 4));
  p.fillRect(QRectF(12, 8, 1.5, 1.5), QColor(0, 170, 60));
}

void Close(QPainter& p) {  // 9: close
  Outline(p, QColor(150, 20, 20));
  p.setBrush(QColor(220, 50, 40));
  p.drawEllipse(QRectF(1, 1, 14, 14));
  Outline(p, kPaper, 2);
  p.drawLine(QPointF(5.3, 5.3), QPointF(10.7, 10.7));
  p.drawLine(QPointF(10.7, 5.3), QPointF(5.3, 10.7));
}

void Display(QPainter& p) { CalendarSheet(p); }  // 10: choice of view

void YearNavigator(QPainter& p) {  // 11: year navigator
  CalendarSheet(p);
  Outline(p, QColor(0, 140, 40));
  p.setBrush(QColor(0, 170, 60));
  p.drawPolygon(QPolygonF({{0.5, 10}, {3.5, 7.5}, {3.5, 12.5}}));
  p.drawPolygon(QPolygonF({{15.5, 10}, {12.5, 7.5}, {12.5, 12.5}}));
}

void Person(QPainter& p, QPointF at, const QColor& shirt) {
  Outline(p, kInk, 0.8);
  p.setBrush(QColor(250, 214, 170));
  p.drawEllipse(QRectF(at.x() - 2.6, at.y(), 5.2, 5.2));
  p.setBrush(shirt);
  QPainterPath body;
  body.moveTo(at.x() - 4.8, at.y() + 12);
  body.quadTo(at.x() - 4.8, at.y() + 5.8, at.x(), at.y() + 5.8);
  body.quadTo(at.x() + 4.8, at.y() + 5.8, at.x() + 4.8, at.y() + 12);
  body.closeSubpath();
  p.drawPath(body);
}

void User(QPainter& p) { Person(p, {8, 2}, kBlue); }  // 12: a user

void Users(QPainter& p) {  // 13: choice of user
  Person(p, {10.5, 1.5}, kLightBlue);
  Person(p, {5.5, 3}, kBlue);
}

void About(QPainter& p) { Badge(p, kBlue, QStringLiteral("i")); }  // 14

constexpr std::array<TDraw, kMenuImageCount> kImages = {
    Gear, Folder, Disk, Export, Help, Clock, DayPage, MinimiseWindow,
    Printer, Close, Display, YearNavigator, User, Users, About,
};

class TMenuImageEngine : public QIconEngine {
 public:
  explicit TMenuImageEngine(int index) : index_(index) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->translate(rect.topLeft());
    painter->scale(rect.width() / 16.0, rect.height() / 16.0);
    if (mode == QIcon::Disabled) painter->setOpacity(0.35);
    kImages[index_](*painter);
    painter->restore();
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    paint(&p, QRect(QPoint(0, 0), size), mode, state);
    return picture;
  }

  QIconEngine* clone() const override { return new TMenuImageEngine(index_); }
  QString key() const override { return QStringLiteral("kadrel-menu-image"); }

 private:
  int index_;
};

}  // namespace

QIcon KadrelMenuImage(int index) {
  if (index < 0 || index >= kMenuImageCount) return QIcon();
  return QIcon(new TMenuImageEngine(index));
}

}  // namespace kadrel
