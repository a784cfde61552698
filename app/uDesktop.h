// Kadrel on the desktop beyond its window: the tray icon, the reminders
// before a shift, and the two switches of the command menu's "设置": keep
// Kadrel in the tray when the main window closes, and start it at login.
// Both are off until the user turns them on, and then start and close are
// exactly as they always were. Program start makes one for the main window
// once the data has loaded; the main window knows nothing of it.
//
// Where the switches are: the command menu is where every command lives,
// and its "设置" item has been there, hidden, for program settings. The
// options dialog edits the schedule's data, modally, which these are not.
//
// The tray icon shows while the folder has times or Kadrel is kept in the
// tray: a user who sets neither sees nothing new. Without a tray, closing
// the window ends Kadrel as before; without a notification service no
// reminder goes out. Kadrel says each of these once, when it first matters,
// and remembers in the folder's settings that it did.
#pragma once

#include <QObject>
#include <QString>

#include <string_view>

class QAction;

namespace kadrel {

class TfrmMain;
class TPopupMenu;
class TReminderTimer;
class TTray;

class TDesktop : public QObject {
  Q_OBJECT

 public:
  explicit TDesktop(TfrmMain& main);
  ~TDesktop() override;

  TTray* Tray() const { return tray_; }
  TReminderTimer* Timer() const { return timer_; }
  QAction* TrayKeepItem = nullptr;
  QAction* AutostartItem = nullptr;

  void TrayKeepItemClick(bool on);
  void AutostartItemClick(bool on);
  // The tray's "打开Kadrel" and "退出".
  void OpenMain();
  void Quit();

  // The launcher the autostart entry starts, which enters the data folder
  // first; empty when none lies where the program expects it.
  static QString LauncherPath();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateSettingsMenu();
  void Refresh();
  bool KeepInTray() const;
  // Shows `text` as a notice unless the switch `told` is on, then turns it on.
  void TellOnce(std::string_view told, const QString& text);
  // Stores the switch in the folder's settings; false with the reason.
  bool StoreSwitch(std::string_view key, bool on, QString& why);

  TfrmMain& main_;
  TTray* tray_ = nullptr;
  TReminderTimer* timer_ = nullptr;
  TPopupMenu* settingsMenu_ = nullptr;
  bool quitting_ = false;
};

}  // namespace kadrel
