#include "widgets/uKadrelFrame.h"

#include <QPainter>

#include "platform/gui/uShellX11.h"
#include "widgets/uFonts.h"
#include "widgets/uGradientPanel.h"
#include "widgets/uTitleButtons.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStyleHints>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace kadrel {

namespace {

constexpr int kCutBottom = 10;
constexpr int kCorner = 45;
// Title buttons keep these distances from the right edge and the top.
constexpr QPoint kCloseOffset(38, 9);
constexpr QPoint kMinimizeOffset(66, 10);

// First column inside the outline on a row `dy` pixels (centre to centre)
// from where the corner ellipse's straight sides begin.
int CornerInset(double rx, double ry, double dy) {
  const double dx = rx * std::sqrt(std::max(0.0, 1 - (dy / ry) * (dy / ry)));
  return int(std::ceil(rx - dx - 0.5));
}

}  // namespace

QRegion KadrelWindowRegion(QSize size) {
  const int w = size.width();
  const int h = size.height() - kCutBottom;
  if (w <= 0 || h <= 0) return {};
  const double rx = std::min(kCorner, w) / 2.0;
  const double ry = std::min(kCorner, h) / 2.0;
  QList<QRect> rows;
  for (int y = 0; y < h; ++y) {
    const double centre = y + 0.5;
    const double dy = centre < ry ? ry - centre : centre > h - ry ? centre - (h - ry) : 0;
    const int inset = dy > 0 ? CornerInset(rx, ry, dy) : 0;
    if (w - 2 * inset > 0) rows.append(QRect(inset, y, w - 2 * inset, 1));
  }
  QRegion region;
  region.setRects(rows.constData(), int(rows.size()));
  return region;
}

QImage GrabKadrelWindow(QWidget& window) {
  const QPixmap shot = window.grab();
  QImage image(shot.size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setClipRegion(KadrelWindowRegion(window.size()));
  painter.drawPixmap(0, 0, shot);
  painter.end();
  return image;
}

TKadrelFrame::TKadrelFrame(QWidget* window)
    : QObject(window),
      window_(window),
      panelBackground_(new TPanelBackground(this)),
      buttonBackground_(new TPanelBackground(this)),
      panel_(new TGradientPanel(window)),
      closeButton_(new TRoundButton(panel_)),
      systemMove_([](QWindow* w) { return w && w->startSystemMove(); }),
      windowOrigin_([](QWidget* w) {
        return w->windowHandle() ? X11WindowOrigin(w->windowHandle()->winId()) : std::nullopt;
      }) {
  window_->setWindowFlags(window_->windowFlags() | Qt::FramelessWindowHint);

  panelBackground_->SetGradient(KadrelPanelGradient());
  buttonBackground_->SetGradient(KadrelTitleButtonGradient());
  panel_->SetBackground(panelBackground_);
  panel_->SetFrameOuter(KadrelOuterFrame());
  panel_->SetFrameInner(KadrelInnerFrame());
  panel_->lower();

  closeButton_->resize(23, 23);
  closeButton_->SetBackground(buttonBackground_);
  closeButton_->setToolTip(QStringLiteral("关闭"));
  connect(closeButton_, &TRoundButton::clicked, window_, &QWidget::close);

  window_->installEventFilter(this);
  panel_->installEventFilter(this);
  LayOut();
}

void TKadrelFrame::SetCloseButtonVisible(bool visible) { closeButton_->setVisible(visible); }

TArrowButton* TKadrelFrame::AddMinimizeButton() {
  if (!minimizeButton_) {
    minimizeButton_ = new TArrowButton(panel_);
    minimizeButton_->resize(23, 20);
    minimizeButton_->SetButtonType(TArrowDirection::dDown);
    minimizeButton_->SetBackground(buttonBackground_);
    minimizeButton_->setToolTip(QStringLiteral("最小化"));
    connect(minimizeButton_, &TArrowButton::clicked, window_, &QWidget::showMinimized);
    minimizeButton_->show();
    LayOut();
  }
  return minimizeButton_;
}

QLabel* TKadrelFrame::SetTitle(const QString& text) {
  if (!title_) {
    title_ = new QLabel(panel_);
    title_->setFont(KadrelFont(15));
    QPalette pal = title_->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    title_->setPalette(pal);
    title_->move(16, 9);
    title_->show();
    AddDragHandle(title_);
  }
  title_->setText(text);
  title_->adjustSize();
  return title_;
}

QWidget* TKadrelFrame::AddBody(const QRect& geometry) {
  auto* body = new QWidget(panel_);
  // Only the gradient drags the window: a press on the body, or on a label
  // lying on it, stops here instead of reaching the panel.
  body->setAttribute(Qt::WA_NoMousePropagation);
  body->setAutoFillBackground(true);
  QPalette pal = body->palette();
  pal.setColor(QPalette::Window, KadrelBodyColor());
  body->setPalette(pal);
  body->setGeometry(geometry);
  body->show();
  return body;
}

void TKadrelFrame::AddDragHandle(QWidget* handle) {
  if (handle) handle->installEventFilter(this);
}

void TKadrelFrame::LayOut() {
  const int w = window_->width();
  panel_->setGeometry(window_->rect());
  closeButton_->move(w - kCloseOffset.x(), kCloseOffset.y());
  if (minimizeButton_) minimizeButton_->move(w - kMinimizeOffset.x(), kMinimizeOffset.y());
  const QRegion outline = KadrelWindowRegion(window_->size());
  if (outline.isEmpty()) {
    window_->clearMask();
  } else {
    window_->setMask(outline);
  }
}

bool TKadrelFrame::HandleDrag(QEvent* event) {
  auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint global = mouse->globalPosition().toPoint();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:  // the second press of a quick pair
      drag_ = {};
      if (mouse->button() == Qt::LeftButton) drag_ = {TDragState::Pressed, global, window_->pos()};
      return true;
    case QEvent::MouseMove:
      // A release that went elsewhere (another window's grab) ends the drag.
      if (!(mouse->buttons() & Qt::LeftButton)) drag_ = {};
      if (drag_.State == TDragState::Pressed) {
        if ((global - drag_.PressGlobal).manhattanLength() < QGuiApplication::styleHints()->startDragDistance()) {
          return true;
        }
        const bool bySystem = systemMove_ && systemMove_(window_->windowHandle());
        drag_.State = bySystem ? TDragState::BySystem : TDragState::ByHand;
      }
      if (drag_.State == TDragState::ByHand) window_->move(drag_.WindowStart + (global - drag_.PressGlobal));
      return true;
    case QEvent::MouseButtonRelease:
      if (mouse->buttons() == Qt::NoButton) drag_ = {};
      return true;
    default:
      return false;
  }
}

// Origins are those of the client area, inside any frame a window manager
// draws. The widget and its native window keep a copy each, and drop-downs
// are placed from the native one.
QPoint TKadrelFrame::SyncOrigin(QWidget* window) const {
  const std::optional<QPoint> origin = windowOrigin_ ? windowOrigin_(window) : std::nullopt;
  if (!origin) return window->geometry().topLeft();
  const QPoint frame = window->geometry().topLeft() - window->pos();
  if (window->geometry().topLeft() != *origin) window->move(*origin - frame);
  QWindow* native = window->windowHandle();
  if (native && native->position() != *origin) native->setPosition(*origin);
  return *origin;
}

void TKadrelFrame::CentreOverOwner() {
  QWidget* owner = window_->parentWidget() ? window_->parentWidget()->window() : nullptr;
  if (!owner || !owner->isVisible()) return;
  QPoint at = SyncOrigin(owner) + QPoint((owner->width() - window_->width()) / 2,
                                         (owner->height() - window_->height()) / 2);
  // Kept on the screen, as the toolkit's own placement does.
  if (const QScreen* screen = owner->screen()) {
    const QRect free = screen->availableGeometry();
    at.setX(std::clamp(at.x(), free.left(), std::max(free.left(), free.right() + 1 - window_->width())));
    at.setY(std::clamp(at.y(), free.top(), std::max(free.top(), free.bottom() + 1 - window_->height())));
  }
  window_->move(at);
}

bool TKadrelFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_) {
    switch (event->type()) {
      case QEvent::Resize:
        LayOut();
        break;
      // Before the window is mapped, so it appears in its place at once.
      case QEvent::Show:
        if (!event->spontaneous() && window_->isWindow()) CentreOverOwner();
        break;
      // By now the window manager has placed the window.
      case QEvent::WindowActivate:
        SyncOrigin(window_);
        break;
      default:
        break;
    }
    return false;
  }
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
      return HandleDrag(event);
    default:
      return false;
  }
}

}  // namespace kadrel
