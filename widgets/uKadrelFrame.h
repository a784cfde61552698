// The frame every Kadrel window wears: no title bar, a rounded outline whose
// bottom 10 pixels are cut away, a gradient panel as background, a round
// close button at the top right (and, for the main window, a minimise
// button beside it), and dragging by the panel with the left mouse button.
//
// A framed window with an owner is centred over the owner each time it is
// shown. Both the owner's place and the window's own are taken from the
// window system when the window is activated: under a window manager the
// toolkit's copy can stay at (0, 0) after mapping, and children placed from
// it (a dialog, a drop-down calendar) then opened in the screen's corner.
//
// TKadrelFrame is a helper object, not a base class, so plain windows and
// modal QDialogs use it alike:
//
//   TfrmYearWZ::TfrmYearWZ(QWidget* owner) : QDialog(owner), frame_(new TKadrelFrame(this)) {
//     frame_->SetTitle("年份导航");
//     frame_->SetCloseButtonVisible(false);
//     QWidget* body = frame_->AddBody({6, 30, 267, 50});   // controls go here
//   }
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRegion>

#include <functional>
#include <optional>

class QLabel;
class QWidget;
class QWindow;

namespace kadrel {

class TArrowButton;
class TGradientPanel;
class TPanelBackground;
class TRoundButton;

// The colour of the panels that carry a window's controls.
inline QColor KadrelBodyColor() { return QColor(240, 236, 216); }

// The outline of a window of `size`: the rounded rectangle from (0, 0) to
// (width, height − 10) with 45 × 45 corner ellipses. Empty when nothing of
// the window would remain.
QRegion KadrelWindowRegion(QSize size);

// A picture of `window` as the user sees it: transparent outside its outline,
// since the offscreen platform draws the cut-away corners too.
QImage GrabKadrelWindow(QWidget& window);

class TKadrelFrame : public QObject {
  Q_OBJECT

 public:
  // Makes `window` frameless and fills it; the frame is owned by `window`.
  explicit TKadrelFrame(QWidget* window);

  QWidget* Window() const { return window_; }
  // The gradient panel covering the whole window, the parent for controls.
  TGradientPanel* Panel() const { return panel_; }
  TPanelBackground* PanelBackground() const { return panelBackground_; }
  // The second background, which the title buttons are cut from.
  TPanelBackground* ButtonBackground() const { return buttonBackground_; }

  // Hint "关闭"; a click closes the window (through its close event, so a
  // window can still refuse or a dialog reject).
  TRoundButton* CloseButton() const { return closeButton_; }
  void SetCloseButtonVisible(bool visible);

  // Creates the minimise button (hint "最小化") on first call.
  TArrowButton* AddMinimizeButton();
  TArrowButton* MinimizeButton() const { return minimizeButton_; }

  // The window's title: white "宋体" 15 pixels high at the top left. Created
  // on first call, and a drag handle like the panel.
  QLabel* SetTitle(const QString& text);

  // A plain beige panel on the gradient, for a window's controls.
  QWidget* AddBody(const QRect& geometry);

  // Pressing the left button on `handle` and moving drags the window, as on
  // the panel. Used for labels that lie over the panel.
  void AddDragHandle(QWidget* handle);

  // How a drag is handed to the window system. The default asks
  // QWindow::startSystemMove; when it declines (no window manager, or a
  // platform without the feature) the frame moves the window itself.
  // Either way a drag begins only once the pointer has moved the platform's
  // drag distance with the left button held: a window manager asked on the
  // press alone would wait for a release that a click already delivered,
  // and the window would follow the pointer until the next click.
  using TSystemMove = std::function<bool(QWindow*)>;
  void SetSystemMove(TSystemMove move) { systemMove_ = std::move(move); }

  // Where the window system has a top-level window; nullopt when it cannot
  // say. The default asks the X server.
  using TWindowOrigin = std::function<std::optional<QPoint>(QWidget*)>;
  void SetWindowOrigin(TWindowOrigin origin) { windowOrigin_ = std::move(origin); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LayOut();
  bool HandleDrag(QEvent* event);
  // Corrects the toolkit's idea of where `window` lies; returns its origin.
  QPoint SyncOrigin(QWidget* window) const;
  void CentreOverOwner();

  QWidget* window_;
  TPanelBackground* panelBackground_;
  TPanelBackground* buttonBackground_;
  TGradientPanel* panel_;
  TRoundButton* closeButton_;
  TArrowButton* minimizeButton_ = nullptr;
  QLabel* title_ = nullptr;
  TSystemMove systemMove_;
  TWindowOrigin windowOrigin_;

  enum class TDragState { Idle, Pressed, ByHand, BySystem };
  struct TDrag {
    TDragState State = TDragState::Idle;
    QPoint PressGlobal;
    QPoint WindowStart;
  } drag_;
};

}  // namespace kadrel
