#include "widgets/uSysColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace kadrel {

namespace {

QPalette CurrentPalette() {
  // Outside a running application (a renderer in a plain unit test) the
  // default-constructed palette still gives usable colours.
  return qGuiApp ? QGuiApplication::palette() : QPalette();
}

}  // namespace

QColor ClBtnFace() { return CurrentPalette().color(QPalette::Active, QPalette::Button); }
QColor ClBtnHighlight() { return CurrentPalette().color(QPalette::Active, QPalette::Light); }
QColor ClBtnShadow() { return CurrentPalette().color(QPalette::Active, QPalette::Dark); }
QColor ClGrayText() { return CurrentPalette().color(QPalette::Disabled, QPalette::Text); }
QColor ClWindow() { return CurrentPalette().color(QPalette::Active, QPalette::Base); }
QColor ClWindowText() { return CurrentPalette().color(QPalette::Active, QPalette::Text); }
QColor ClInfoBk() { return CurrentPalette().color(QPalette::Active, QPalette::ToolTipBase); }

std::optional<QColor> ColorFromText(QStringView text) {
  if (text.size() != 9 || text.front() != u'$') return std::nullopt;
  uint value = 0;
  for (QChar c : text.mid(1)) {
    const char16_t u = c.unicode();
    int digit = -1;
    if (u >= u'0' && u <= u'9') digit = u - u'0';
    else if (u >= u'A' && u <= u'F') digit = u - u'A' + 10;
    else if (u >= u'a' && u <= u'f') digit = u - u'a' + 10;
    if (digit < 0) return std::nullopt;
    value = value * 16 + uint(digit);
  }
  if ((value >> 24) != 0) return std::nullopt;
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QString ColorToText(const QColor& color) {
  const uint value = (uint(color.blue()) << 16) | (uint(color.green()) << 8) | uint(color.red());
  return QStringLiteral("$%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

}  // namespace kadrel
