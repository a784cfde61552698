// The tray icon: its tooltip tells the shown user's duty today and the next
// shift with its start; its menu opens the main window, shows the next
// shift and quits. Qt puts it in a StatusNotifier host on the session bus
// or, without one, in an XEmbed tray on the screen.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>

#include <optional>

#include "platform/uScopedOverride.h"

class QAction;
class QSystemTrayIcon;

namespace kadrel {

class TPopupMenu;

class TTray : public QObject {
  Q_OBJECT

 public:
  explicit TTray(QObject* parent = nullptr);
  ~TTray() override;

  // Whether the desktop has a tray to show the icon in.
  static bool Available();

  void SetShown(bool shown);
  bool Shown() const;
  // Empty `user` when no user is shown; `today` and `next` then go unsaid.
  void SetTexts(const QString& user, const QString& today, const QString& next);
  QString ToolTip() const;
  // Where the tray shows the icon; empty while no tray has taken it.
  QRect Geometry() const;
  TPopupMenu* Menu() const { return menu_; }

  QAction* OpenItem = nullptr;
  QAction* NextItem = nullptr;  // the next shift, to read; choosing it opens the window too
  QAction* QuitItem = nullptr;

 signals:
  void OpenRequested();
  void QuitRequested();

 private:
  QSystemTrayIcon* icon_ = nullptr;
  TPopupMenu* menu_ = nullptr;
};

// While it lives, TTray::Available() answers `available`, whatever the
// desktop has: an offscreen test has no tray. Overrides nest.
class TTrayOverride : TScopedOverride<std::optional<bool>> {
 public:
  explicit TTrayOverride(bool available);
};

}  // namespace kadrel
