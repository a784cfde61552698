#include "widgets/uKadrelStyle.h"

#include "widgets/uFocusMark.h"
#include "widgets/uFonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>

namespace kadrel {

namespace {

const QColor kAccent(0, 52, 224);
const QColor kFrame(127, 157, 185);       // edges of edits, lists and boxes
const QColor kFaceBorder(96, 118, 178);   // edges of buttons at rest
const QColor kHotBorder(0, 45, 150);      // edges under the pointer or pressed
const QColor kDisabledBorder(200, 196, 180);
const QColor kMenuFrameColor(0, 45, 150);
constexpr int kMenuFrame = 1;  // PM_MenuPanelWidth
const QColor kGutterLeft(240, 244, 252);
const QColor kGutterRight(196, 212, 242);
const QColor kMenuSelect(193, 210, 238);
const QColor kMenuSelectBorder(49, 106, 197);
const QColor kMenuSeparator(197, 194, 184);
const QColor kCheckBack(255, 226, 160);

struct TFace {
  QColor Top, Bottom, Border;
};

TFace FaceFor(const QStyleOption* option) {
  const QStyle::State s = option->state;
  if (!(s & QStyle::State_Enabled)) return {QColor(245, 243, 235), QColor(236, 233, 222), kDisabledBorder};
  if (s & (QStyle::State_Sunken | QStyle::State_On))
    return {QColor(254, 180, 110), QColor(255, 214, 154), kHotBorder};
  if (s & QStyle::State_MouseOver) return {QColor(255, 246, 214), QColor(255, 212, 148), kHotBorder};
  return {QColor(255, 255, 255), QColor(220, 228, 244), kFaceBorder};
}

void DrawFace(QPainter* p, const QRect& rect, const QStyleOption* option, int radius = 2) {
  const TFace face = FaceFor(option);
  p->save();
  p->setRenderHint(QPainter::Antialiasing);
  const QRectF body = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient shade(body.topLeft(), body.bottomLeft());
  shade.setColorAt(0, face.Top);
  shade.setColorAt(1, face.Bottom);
  p->setBrush(shade);
  p->setPen(QPen(face.Border, 1));
  p->drawRoundedRect(body, radius, radius);
  p->restore();
}

QColor FrameColor(const QStyleOption* option) {
  if (!(option->state & QStyle::State_Enabled)) return kDisabledBorder;
  if (option->state & (QStyle::State_HasFocus | QStyle::State_MouseOver)) return kAccent;
  return kFrame;
}

void DrawBox(QPainter* p, const QRect& rect, const QColor& color) {
  p->save();
  p->setPen(QPen(color, 1));
  p->setBrush(Qt::NoBrush);
  p->drawRect(rect.adjusted(0, 0, -1, -1));
  p->restore();
}

void DrawCheckMark(QPainter* p, const QRectF& r, const QColor& color) {
  p->save();
  p->setRenderHint(QPainter::Antialiasing);
  p->setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p->drawPolyline(QPolygonF({QPointF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.52),
                             QPointF(r.left() + r.width() * 0.42, r.top() + r.height() * 0.75),
                             QPointF(r.left() + r.width() * 0.8, r.top() + r.height() * 0.25)}));
  p->restore();
}

void DrawCheckBox(QPainter* p, const QStyleOption* option) {
  const QRect r = option->rect;
  const bool enabled = option->state & QStyle::State_Enabled;
  const QColor back = !enabled ? QColor(245, 243, 235)
                      : (option->state & QStyle::State_MouseOver) ? QColor(255, 246, 214)
                                                                  : QColor(255, 255, 255);
  p->fillRect(r.adjusted(1, 1, -1, -1), back);
  DrawBox(p, r, enabled ? QColor(28, 81, 128) : kDisabledBorder);
  const QColor mark = enabled ? kAccent : kDisabledBorder;
  if (option->state & QStyle::State_On) {
    DrawCheckMark(p, QRectF(r).adjusted(1, 1, -1, -1), mark);
  } else if (option->state & QStyle::State_NoChange) {
    p->fillRect(r.adjusted(3, 3, -3, -3), mark);
  }
}

void DrawRadio(QPainter* p, const QStyleOption* option) {
  const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
  const bool enabled = option->state & QStyle::State_Enabled;
  p->save();
  p->setRenderHint(QPainter::Antialiasing);
  p->setPen(QPen(enabled ? QColor(28, 81, 128) : kDisabledBorder, 1));
  p->setBrush((option->state & QStyle::State_MouseOver) && enabled ? QColor(255, 246, 214)
                                                                    : QColor(255, 255, 255));
  p->drawEllipse(r);
  if (option->state & QStyle::State_On) {
    p->setPen(Qt::NoPen);
    p->setBrush(enabled ? kAccent : kDisabledBorder);
    const double inset = r.width() * 0.28;
    p->drawEllipse(r.adjusted(inset, inset, -inset, -inset));
  }
  p->restore();
}

// The menu's background: white with the image column down the left side of
// the column of items that begins at `columnLeft`.
void DrawMenuBackground(QPainter* p, int columnLeft, const QRect& area) {
  p->fillRect(area, QColor(255, 255, 255));
  QRect gutter(columnLeft, area.top(), kMenuIconColumn, area.height());
  QLinearGradient shade(gutter.topLeft(), gutter.topRight());
  shade.setColorAt(0, kGutterLeft);
  shade.setColorAt(1, kGutterRight);
  p->fillRect(gutter.intersected(area), shade);
}

}  // namespace

QPalette KadrelPalette() {
  QPalette pal;
  const QColor face(236, 233, 216), window(240, 236, 216), grey(172, 168, 153);
  pal.setColor(QPalette::Window, window);
  pal.setColor(QPalette::WindowText, Qt::black);
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::AlternateBase, QColor(248, 246, 238));
  pal.setColor(QPalette::Text, Qt::black);
  pal.setColor(QPalette::Button, face);
  pal.setColor(QPalette::ButtonText, Qt::black);
  pal.setColor(QPalette::BrightText, Qt::white);
  pal.setColor(QPalette::Light, Qt::white);
  pal.setColor(QPalette::Midlight, QColor(248, 247, 240));
  pal.setColor(QPalette::Mid, QColor(200, 196, 180));
  pal.setColor(QPalette::Dark, grey);
  pal.setColor(QPalette::Shadow, QColor(113, 111, 100));
  pal.setColor(QPalette::Highlight, QColor(49, 106, 197));
  pal.setColor(QPalette::HighlightedText, Qt::white);
  pal.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
  pal.setColor(QPalette::ToolTipText, Qt::black);
  pal.setColor(QPalette::Link, kAccent);
  pal.setColor(QPalette::PlaceholderText, grey);
  for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
    pal.setColor(QPalette::Disabled, role, grey);
  }
  pal.setColor(QPalette::Disabled, QPalette::Base, QColor(245, 243, 235));
  pal.setColor(QPalette::Disabled, QPalette::Highlight, grey);
  return pal;
}

TKadrelStyle::TKadrelStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

QPalette TKadrelStyle::standardPalette() const { return KadrelPalette(); }

void TKadrelStyle::polish(QPalette& palette) { palette = KadrelPalette(); }

void TKadrelStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
  switch (element) {
    case PE_PanelButtonCommand:
    case PE_PanelButtonBevel:
      DrawFace(painter, option->rect, option);
      return;
    case PE_PanelButtonTool:
      // Tool buttons stay flat until the pointer is over them.
      if (option->state & (State_MouseOver | State_Sunken | State_On)) DrawFace(painter, option->rect, option);
      return;
    case PE_FrameButtonTool:
    case PE_FrameDefaultButton:
      return;
    case PE_FrameLineEdit:
    case PE_Frame:
    case PE_FrameTabWidget:
      DrawBox(painter, option->rect, FrameColor(option));
      return;
    case PE_PanelLineEdit:
      if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option)) {
        painter->fillRect(option->rect.adjusted(1, 1, -1, -1), option->palette.brush(QPalette::Base));
        if (frame->lineWidth > 0) proxy()->drawPrimitive(PE_FrameLineEdit, option, painter, widget);
        return;
      }
      break;
    case PE_FrameGroupBox:
      DrawBox(painter, option->rect, option->state & State_Enabled ? kFrame : kDisabledBorder);
      return;
    case PE_IndicatorCheckBox:
    case PE_IndicatorItemViewItemCheck:
      DrawCheckBox(painter, option);
      return;
    case PE_IndicatorRadioButton:
      DrawRadio(painter, option);
      return;
    case PE_FrameFocusRect:
      // Buttons of every kind mark their focus crisply once the window is
      // worked from the keyboard; other controls keep the base style's look.
      if (qobject_cast<const QAbstractButton*>(widget)) {
        if (option->state & State_KeyboardFocusChange) {
          DrawFocusMark(*painter, option->rect, option->palette.color(QPalette::ButtonText));
        }
        return;
      }
      break;
    case PE_PanelMenu:
      DrawMenuBackground(painter, option->rect.left() + kMenuFrame, option->rect);
      return;
    case PE_FrameMenu:
      DrawBox(painter, option->rect, kMenuFrameColor);
      return;
    default:
      break;
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

namespace {

void DrawMenuItem(const QStyle* style, const QStyleOptionMenuItem* item, QPainter* p,
                  const QWidget* widget) {
  // Everything is placed from the item's own left edge: a menu too tall for
  // the screen sets its items in several columns.
  const QRect r = item->rect;
  DrawMenuBackground(p, r.left(), r);
  const QRect gutter(r.left(), r.top(), kMenuIconColumn, r.height());

  if (item->menuItemType == QStyleOptionMenuItem::Separator) {
    const int y = r.center().y();
    p->fillRect(QRect(gutter.right() + 7, y, r.right() - gutter.right() - 9, 1), kMenuSeparator);
    return;
  }

  const bool enabled = item->state & QStyle::State_Enabled;
  const bool selected = enabled && (item->state & QStyle::State_Selected);
  if (selected) {
    p->fillRect(r.adjusted(1, 0, -1, 0), kMenuSelect);
    DrawBox(p, r.adjusted(1, 0, -1, 0), kMenuSelectBorder);
  }

  const bool checked = item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked;
  const QRect well = QRect(0, 0, 20, std::min(20, r.height() - 2)).translated(gutter.left() + 2, 0);
  const QRect mark(well.left(), r.top() + (r.height() - well.height()) / 2, well.width(), well.height());
  if (checked) {
    p->fillRect(mark.adjusted(1, 1, -1, -1), kCheckBack);
    DrawBox(p, mark, kMenuSelectBorder);
  }
  if (!item->icon.isNull()) {
    const int size = style->pixelMetric(QStyle::PM_SmallIconSize, item, widget);
    const QIcon::Mode mode = !enabled ? QIcon::Disabled : QIcon::Normal;
    const QRect iconRect(gutter.left() + (gutter.width() - size) / 2, r.top() + (r.height() - size) / 2,
                         size, size);
    item->icon.paint(p, iconRect, Qt::AlignCenter, mode);
  } else if (checked) {
    DrawCheckMark(p, QRectF(mark).adjusted(3, 3, -3, -3), enabled ? QColor(0, 0, 0) : kDisabledBorder);
  }

  const QColor ink = item->palette.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::Text);
  p->save();
  p->setPen(ink);
  p->setFont(item->font);
  const QString full = item->text;
  const qsizetype tab = full.indexOf(u'\t');
  const QRect textRect(gutter.right() + 9, r.top(), r.right() - gutter.right() - 30, r.height());
  const int flags = Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
  p->drawText(textRect, flags | Qt::AlignLeft, tab < 0 ? full : full.left(tab));
  if (tab >= 0) p->drawText(textRect, flags | Qt::AlignRight, full.mid(tab + 1));
  p->restore();

  if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
    QStyleOption arrow = *item;
    arrow.rect = QRect(r.right() - 16, r.top() + (r.height() - 9) / 2, 9, 9);
    arrow.palette.setColor(QPalette::ButtonText, ink);
    style->drawPrimitive(QStyle::PE_IndicatorArrowRight, &arrow, p, widget);
  }
}

void DrawEditFrame(QPainter* p, const QStyleOptionComplex* option) {
  p->fillRect(option->rect.adjusted(1, 1, -1, -1),
              option->palette.brush(option->state & QStyle::State_Enabled ? QPalette::Active
                                                                          : QPalette::Disabled,
                                    QPalette::Base));
  DrawBox(p, option->rect, FrameColor(option));
}

void DrawStepButton(const QStyle* style, QPainter* p, const QStyleOptionComplex* option, QRect rect,
                    QStyle::PrimitiveElement arrow, bool sunken, bool enabled) {
  if (rect.isEmpty()) return;
  QStyleOption face = *option;
  face.rect = rect;
  face.state &= ~(QStyle::State_Sunken | QStyle::State_On | QStyle::State_MouseOver);
  if (!enabled) face.state &= ~QStyle::State_Enabled;
  if (sunken) face.state |= QStyle::State_Sunken;
  DrawFace(p, rect, &face, 1);
  face.rect = rect.adjusted(2, 1, -2, -1);
  style->drawPrimitive(arrow, &face, p);
}

}  // namespace

void TKadrelStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
  switch (element) {
    case CE_MenuItem:
      if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
        DrawMenuItem(proxy(), item, painter, widget);
        return;
      }
      break;
    case CE_PushButton:
      // The base style shows a push button's focus only by a tint of its
      // edge, which the flat face above replaces.
      QProxyStyle::drawControl(element, option, painter, widget);
      if ((option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange)) {
        DrawFocusMark(*painter, option->rect.adjusted(3, 3, -4, -4), option->palette.color(QPalette::ButtonText));
      }
      return;
    case CE_MenuEmptyArea:
      DrawMenuBackground(painter, option->rect.left() + kMenuFrame, option->rect);
      return;
    case CE_TabBarTabShape:
      if (const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option)) {
        QStyleOption face = *tab;
        if (tab->state & State_Selected) face.state |= State_Sunken;
        const QRect faceRect = tab->rect.adjusted(1, 1, -1, -1);
        DrawFace(painter, faceRect, &face);
        // Inset as on a push button: the tab face is a button face.
        if ((tab->state & State_HasFocus) && (tab->state & State_KeyboardFocusChange)) {
          DrawFocusMark(*painter, faceRect.adjusted(2, 2, -3, -3), tab->palette.color(QPalette::ButtonText));
        }
        return;
      }
      break;
    case CE_TabBarTabLabel:
      // The shape carries the mark; the base style's translucent one would
      // vanish on the face and blur the dots.
      if (const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option)) {
        QStyleOptionTab label = *tab;
        label.state &= ~State_HasFocus;
        QProxyStyle::drawControl(element, &label, painter, widget);
        return;
      }
      break;
    default:
      break;
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

void TKadrelStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                      QPainter* painter, const QWidget* widget) const {
  if (control == CC_ComboBox) {
    if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option)) {
      DrawEditFrame(painter, combo);
      const QRect arrow = proxy()->subControlRect(CC_ComboBox, combo, SC_ComboBoxArrow, widget);
      const bool open = combo->state & State_On;
      DrawStepButton(proxy(), painter, combo, arrow.adjusted(0, 1, -1, -1), PE_IndicatorArrowDown, open,
                     combo->state & State_Enabled);
      return;
    }
  }
  if (control == CC_SpinBox) {
    if (const auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option)) {
      if (spin->frame) DrawEditFrame(painter, spin);
      if (spin->buttonSymbols != QAbstractSpinBox::NoButtons) {
        const QRect up = proxy()->subControlRect(CC_SpinBox, spin, SC_SpinBoxUp, widget);
        const QRect down = proxy()->subControlRect(CC_SpinBox, spin, SC_SpinBoxDown, widget);
        const bool enabled = spin->state & State_Enabled;
        DrawStepButton(proxy(), painter, spin, up.adjusted(0, 1, -1, 0), PE_IndicatorArrowUp,
                       spin->activeSubControls == SC_SpinBoxUp && (spin->state & State_Sunken),
                       enabled && (spin->stepEnabled & QAbstractSpinBox::StepUpEnabled));
        DrawStepButton(proxy(), painter, spin, down.adjusted(0, 0, -1, -1), PE_IndicatorArrowDown,
                       spin->activeSubControls == SC_SpinBoxDown && (spin->state & State_Sunken),
                       enabled && (spin->stepEnabled & QAbstractSpinBox::StepDownEnabled));
      }
      return;
    }
  }
  QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QSize TKadrelStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                     const QWidget* widget) const {
  if (type == CT_MenuItem) {
    if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
      if (item->menuItemType == QStyleOptionMenuItem::Separator) return {kMenuIconColumn + 20, 7};
      const int tabSpace = item->text.contains(u'\t') ? 24 : 0;
      return {kMenuIconColumn + 9 + size.width() + tabSpace + 30, std::max(22, size.height() + 6)};
    }
  }
  return QProxyStyle::sizeFromContents(type, option, size, widget);
}

int TKadrelStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
  switch (metric) {
    case PM_MenuPanelWidth: return kMenuFrame;
    case PM_MenuHMargin: return 0;
    case PM_MenuVMargin: return 1;
    case PM_SmallIconSize: return 16;
    case PM_ButtonShiftHorizontal:
    case PM_ButtonShiftVertical: return 1;
    case PM_DefaultFrameWidth: return 1;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

int TKadrelStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const {
  switch (hint) {
    case SH_Menu_FlashTriggeredItem: return 0;
    case SH_Menu_KeyboardSearch: return 0;
    case SH_ComboBox_Popup: return 0;
    default: return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
}

void ApplyKadrelStyle(QApplication& app) {
  InstallFontSubstitutes();
  auto* style = new TKadrelStyle;
  app.setStyle(style);  // the application takes ownership
  app.setPalette(style->standardPalette());
  app.setFont(KadrelFont(13));
  app.setFont(KadrelFont(12), "QMenu");
}

}  // namespace kadrel
