#include "app/uDesktop.h"

#include "app/uKadrelMain.h"
#include "app/uReminderTimer.h"
#include "app/uTray.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uAutostart.h"
#include "schedule/uFolderSettings.h"
#include "schedule/uScheduleFolder.h"
#include "widgets/uListMenu.h"
#include "widgets/uPopupMenu.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kadrel {

namespace {

QString NoNotifierText() {
  return QStringLiteral(
      "上班前的提醒没有打开：桌面上没有通知服务（org.freedesktop.Notifications）。"
      "安装并运行一个通知服务（例如 notification-daemon 或 dunst）后，Kadrel 会在班次开始前提醒。");
}

QString NoTrayText() {
  return QStringLiteral(
      "桌面上没有系统托盘，Kadrel 不能留在托盘中：关闭窗口就退出 Kadrel，上班前的提醒也随之停止。");
}

}  // namespace

TDesktop::TDesktop(TfrmMain& main)
    : QObject(&main), main_(main), tray_(new TTray(this)), timer_(new TReminderTimer(*main.Folder(), this)) {
  CreateSettingsMenu();
  connect(tray_, &TTray::OpenRequested, this, &TDesktop::OpenMain);
  connect(tray_, &TTray::QuitRequested, this, &TDesktop::Quit);
  connect(timer_, &TReminderTimer::Woke, this, &TDesktop::Refresh);
  connect(timer_, &TReminderTimer::NotifierMissing, this, [this] { TellOnce(kNoNotifierToldKey, NoNotifierText()); });
  connect(timer_, &TReminderTimer::LedgerFailed, this, [this](const QString& why) {
    ShowError(&main_, QStringLiteral("提醒已经发出，但记下它时出错，Kadrel 下次启动时可能再提醒一次。\n%1").arg(why));
  });
  // Connected after the main window's own handlers, so these run once a
  // user is shown and once the options dialog has closed.
  connect(main.UserMenu(), &TListMenu::Triggered, this, &TDesktop::Refresh);
  connect(main.N1, &QAction::triggered, timer_, &TReminderTimer::Wake);
  main.installEventFilter(this);
  timer_->Wake();
}

TDesktop::~TDesktop() = default;

void TDesktop::CreateSettingsMenu() {
  settingsMenu_ = new TPopupMenu(QStringLiteral("设置"), main_.PopupMenu1);
  TrayKeepItem = settingsMenu_->addAction(QStringLiteral("关闭窗口后留在托盘"));
  TrayKeepItem->setObjectName(QStringLiteral("TrayKeep"));
  TrayKeepItem->setCheckable(true);
  TrayKeepItem->setChecked(TrayKeep(ReadSettings(main_.Folder()->Tables().Settings)));
  TrayKeepItem->setEnabled(!main_.ReadOnly());
  AutostartItem = settingsMenu_->addAction(QStringLiteral("登录时启动Kadrel"));
  AutostartItem->setObjectName(QStringLiteral("Autostart"));
  AutostartItem->setCheckable(true);
  AutostartItem->setChecked(AutostartOn());
  connect(TrayKeepItem, &QAction::triggered, this, &TDesktop::TrayKeepItemClick);
  connect(AutostartItem, &QAction::triggered, this, &TDesktop::AutostartItemClick);
  main_.N7->setMenu(settingsMenu_);
  main_.N7->setVisible(true);
  main_.N8->setVisible(true);
}

bool TDesktop::KeepInTray() const { return TrayKeepItem->isChecked(); }

void TDesktop::Refresh() {
  const bool shown = TTray::Available() && (KeepInTray() || timer_->HasTimes());
  tray_->SetShown(shown);
  timer_->SetTrayShown(shown);
  if (!shown) return;
  const std::string& user = main_.CurrentUser().Name;
  if (const auto texts = timer_->TrayTextsOf(user)) {
    tray_->SetTexts(GbkToQString(user), GbkToQString(texts->Today), GbkToQString(texts->Next));
  } else {
    tray_->SetTexts({}, {}, {});
  }
}

bool TDesktop::StoreSwitch(std::string_view key, bool on, QString& why) {
  TScheduleFolder& folder = *main_.Folder();
  TScheduleError openError;
  if (!folder.OpenForChange(TScheduleFile::Settings, openError)) {
    why = QString::fromStdString(openError.Text());
    return false;
  }
  TTimesError error;
  const bool stored = on ? SetSetting(folder.Tables().Settings, key, "1", error)
                         : ClearSetting(folder.Tables().Settings, key, error);
  if (!stored) why = QString::fromStdString(error.Text());
  return stored;
}

void TDesktop::TellOnce(std::string_view told, const QString& text) {
  if (SwitchOn(ReadSettings(main_.Folder()->Tables().Settings), told)) return;
  ShowNotice(&main_, text);
  // A folder that cannot remember it hears it again at the next start.
  QString ignored;
  StoreSwitch(told, true, ignored);
}

void TDesktop::TrayKeepItemClick(bool on) {
  QString why;
  if (!StoreSwitch(kTrayKeepKey, on, why)) {
    TrayKeepItem->setChecked(!on);
    ShowError(&main_, QStringLiteral("不能保存设置。\n%1").arg(why));
    return;
  }
  if (on && !TTray::Available()) TellOnce(kNoTrayToldKey, NoTrayText());
  Refresh();
}

void TDesktop::AutostartItemClick(bool on) {
  const QString launcher = LauncherPath();
  std::string error;
  if (on && launcher.isEmpty()) {
    error = "the launcher kadrel is not where the program expects it";
  } else {
    SetAutostart(on, QFile::encodeName(launcher).toStdString(), error);
  }
  if (!error.empty()) ShowError(&main_, QStringLiteral("不能设置登录时启动。\n%1").arg(QString::fromStdString(error)));
  AutostartItem->setChecked(AutostartOn());
}

QString TDesktop::LauncherPath() {
  const QDir dir(QCoreApplication::applicationDirPath());
  // Beside the build tree's program, then as installed.
  for (const QString& relative : {QStringLiteral("../bin/kadrel"), QStringLiteral(KADREL_LAUNCHER_FROM_PROGRAM)}) {
    const QFileInfo launcher(dir.filePath(relative));
    if (launcher.isFile() && launcher.isExecutable()) return launcher.canonicalFilePath();
  }
  return {};
}

void TDesktop::OpenMain() {
  QApplication::setQuitOnLastWindowClosed(true);
  main_.show();
  main_.setWindowState(main_.windowState() & ~Qt::WindowMinimized);
  main_.raise();
  main_.activateWindow();
}

void TDesktop::Quit() {
  quitting_ = true;
  main_.close();
  QCoreApplication::quit();
}

bool TDesktop::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &main_ || event->type() != QEvent::Close) return QObject::eventFilter(watched, event);
  // Ending the session closes every window, and ends Kadrel.
  const bool keep = KeepInTray() && !quitting_ && !qApp->isSavingSession();
  if (keep && !TTray::Available()) TellOnce(kNoTrayToldKey, NoTrayText());
  if (!keep || !TTray::Available()) {
    // The window closes the folder now.
    timer_->Stop();
    tray_->SetShown(false);
    return QObject::eventFilter(watched, event);
  }
  event->ignore();
  // The hidden window is still the program; a notice closed meanwhile is
  // not the last window.
  QApplication::setQuitOnLastWindowClosed(false);
  main_.hide();
  Refresh();
  return true;
}

}  // namespace kadrel
