// The flat look of the standard controls (buttons, edits, memos, list and
// combo boxes, check boxes, spin edits, radio groups, tabs and menus), kept
// in one proxy style so that every window built from stock Qt widgets
// matches the gradient panels without subclassing them.
#pragma once

#include <QPalette>
#include <QProxyStyle>

class QApplication;

namespace kadrel {

// Width of the image column at the left of every menu.
inline constexpr int kMenuIconColumn = 24;

// The system colours of the program: a warm beige face under a deep blue
// accent, the same for every run and every desktop theme.
QPalette KadrelPalette();

class TKadrelStyle : public QProxyStyle {
  Q_OBJECT

 public:
  TKadrelStyle();

  QPalette standardPalette() const override;
  void polish(QPalette& palette) override;
  using QProxyStyle::polish;

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget = nullptr) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget = nullptr) const override;
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
  int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                const QWidget* widget = nullptr, QStyleHintReturn* returnData = nullptr) const override;
};

// Installs the fonts, the palette and the style on the application. Call
// once, right after the QApplication is created.
void ApplyKadrelStyle(QApplication& app);

}  // namespace kadrel
