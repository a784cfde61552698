#include "widgets/uToggleButton.h"

#include "widgets/uFocusMark.h"
#include "widgets/uGradientPanel.h"
#include "widgets/uSysColors.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>

namespace kadrel {

namespace {

// The outlines of one bevel, outermost first, as (left-top, right-bottom).
std::vector<std::pair<QColor, QColor>> BevelOutlines(TBevelLooks looks, bool raised) {
  const QColor silver(192, 192, 192), white(255, 255, 255), grey(128, 128, 128), black(0, 0, 0);
  std::vector<std::pair<QColor, QColor>> lines;
  switch (looks) {
    case TBevelLooks::bk97:
      lines = {{ClBtnHighlight(), ClBtnShadow()}};
      break;
    case TBevelLooks::bkNormal:
      lines = {{white, black}, {silver, grey}};
      break;
    case TBevelLooks::bkDeep:
      lines = {{white, black}, {silver, grey}, {white, grey}};
      break;
  }
  if (!raised) {
    for (auto& [lt, rb] : lines) std::swap(lt, rb);
  }
  return lines;
}

void DrawBevel(QPainter& painter, QSize size, TBevelLooks looks, bool raised) {
  // The bevel keeps off the last column and row, so that neighbouring
  // buttons laid one pixel over each other do not draw on each other's edge.
  QRect rect(0, 0, size.width() - 1, size.height() - 1);
  for (const auto& [lt, rb] : BevelOutlines(looks, raised)) {
    TPanelFrame outline;
    outline.Highlight = lt;
    outline.Shadow = rb;
    outline.DrawFrame(painter, rect);
  }
}

}  // namespace

QRect TToggleButtonFace::CaptionRect(QSize size, int shift) {
  return QRect(QPoint(4, 4 + shift), QPoint(size.width() - 4, size.height() - 4 + shift))
      .adjusted(0, 0, -1, -1);
}

QRect TToggleButtonFace::FocusRect(QSize size, TBevelLooks looks) {
  const int outlines = looks == TBevelLooks::bk97 ? 1 : looks == TBevelLooks::bkNormal ? 2 : 3;
  const int inset = outlines + 1;
  // The bevel leaves the last column and row free; the mark keeps off them too.
  return QRect(QPoint(inset, inset), QPoint(size.width() - 2 - inset, size.height() - 2 - inset));
}

void TToggleButtonFace::paint(QPainter* painter, const QRect& rect) const {
  painter->save();
  painter->translate(rect.topLeft());
  DrawText3D(Font3D, *painter, Font, FontColor, Enabled, Qt::AlignHCenter, Caption,
             CaptionRect(rect.size(), Shift()), TEllipsis::End);
  if (Enabled) {
    if (Hot && !Pressed) DrawBevel(*painter, rect.size(), BevelLooks, true);
    if ((Pressed && Hot) || Down) DrawBevel(*painter, rect.size(), BevelLooks, false);
  }
  if (Focused) DrawFocusMark(*painter, FocusRect(rect.size(), BevelLooks), FontColor);
  painter->restore();
}

TToggleButton::TToggleButton(QWidget* parent) : QWidget(parent) {
  resize(80, 21);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void TToggleButton::SetCaption(const QString& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  if (shortcutId_ != 0) releaseShortcut(shortcutId_);
  shortcutId_ = 0;
  const QKeySequence mnemonic = QKeySequence::mnemonic(caption);
  if (!mnemonic.isEmpty()) shortcutId_ = grabShortcut(mnemonic);
  update();
}

void TToggleButton::SetGroupIndex(int index) {
  groupIndex_ = index;
  if (groupIndex_ <= 0 && down_) {
    down_ = false;
    update();
  }
}

QList<TToggleButton*> TToggleButton::GroupMates() const {
  QList<TToggleButton*> mates;
  if (groupIndex_ <= 0 || !parentWidget()) return mates;
  for (TToggleButton* b : parentWidget()->findChildren<TToggleButton*>(Qt::FindDirectChildrenOnly)) {
    if (b != this && b->groupIndex_ == groupIndex_) mates.append(b);
  }
  return mates;
}

void TToggleButton::RaiseGroupMates() {
  for (TToggleButton* b : GroupMates()) {
    if (b->down_) {
      b->down_ = false;
      b->update();
    }
  }
}

void TToggleButton::SetDown(bool down) {
  if (groupIndex_ <= 0 || down_ == down) return;
  if (down) RaiseGroupMates();
  down_ = down;
  update();
}

void TToggleButton::SetAllowAllUp(bool allow) {
  allowAllUp_ = allow;
  for (TToggleButton* b : GroupMates()) b->allowAllUp_ = allow;
}

void TToggleButton::SetBevelLooks(TBevelLooks looks) {
  bevel_ = looks;
  update();
}

void TToggleButton::SetFont3D(const TFont3D& style) {
  font3D_ = style;
  update();
}

TToggleButtonFace TToggleButton::Face() const {
  return {caption_, font(),   palette().color(QPalette::ButtonText), font3D_, bevel_, isEnabled(),
          hot_,     pressed_, down_, ShowsFocusMark(*this)};
}

bool TToggleButton::CanBeHot() const {
  return isEnabled() && isVisible() && window()->isActiveWindow();
}

void TToggleButton::SetHot(bool hot) {
  if (hot_ == hot) return;
  hot_ = hot;
  // A down button looks the same hot or not.
  if (!down_) update();
}

void TToggleButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Face().paint(&painter, rect());
}

void TToggleButton::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton || !isEnabled() || !isVisible()) return;
  pressed_ = true;
  hot_ = true;
  update();
}

void TToggleButton::mouseMoveEvent(QMouseEvent* event) {
  const bool inside = rect().contains(event->position().toPoint());
  if (inside && !hot_) {
    if (pressed_ || CanBeHot()) SetHot(true);
  } else if (!inside && hot_) {
    SetHot(false);
  }
}

void TToggleButton::leaveEvent(QEvent* event) {
  // While pressed, the implicit grab keeps delivering moves, which decide.
  if (!pressed_) SetHot(false);
  QWidget::leaveEvent(event);
}

void TToggleButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  Release(rect().contains(event->position().toPoint()));
}

void TToggleButton::Release(bool inside) {
  pressed_ = false;
  if (!inside) {
    // Released away from the button: nothing changes, nothing fires.
    hot_ = false;
    update();
    return;
  }
  if (groupIndex_ > 0) {
    if (!down_) {
      RaiseGroupMates();
      down_ = true;
    } else if (allowAllUp_) {
      down_ = false;
    }
  }
  hot_ = false;
  update();
  emit clicked();
}

void TToggleButton::Click() {
  if (!isEnabled() || !isVisible()) return;
  pressed_ = true;
  hot_ = true;
  Release(true);
  // The button stays lit only while the pointer is really over it.
  if (underMouse() && CanBeHot()) SetHot(true);
}

bool TToggleButton::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut &&
      static_cast<QShortcutEvent*>(event)->shortcutId() == shortcutId_) {
    Click();
    return true;
  }
  return QWidget::event(event);
}

void TToggleButton::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // A key held down clicks once.
      if (!event->isAutoRepeat()) {
        ShowKeyboardCues(*this);
        Click();
      }
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void TToggleButton::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void TToggleButton::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

void TToggleButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) {
    hot_ = false;
    pressed_ = false;
    update();
  }
  QWidget::changeEvent(event);
}

}  // namespace kadrel
