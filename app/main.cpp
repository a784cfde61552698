// Kadrel: the shift calendar. It takes no arguments and keeps its data files
// in the working directory.
#include "about/uAbout.h"
#include "app/uAppIcon.h"
#include "app/uDesktop.h"
#include "app/uSyncCommand.h"
#include "app/uKadrelMain.h"
#include "widgets/uKadrelStyle.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  kadrel::ApplyKadrelStyle(app);  // maps "宋体" to an installed CJK face first
  QApplication::setApplicationDisplayName(QStringLiteral("Kadrelv2.0"));
  // Every window, the dialogs included, takes the application's icon.
  QApplication::setWindowIcon(kadrel::ProgramIcon());
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  // The toolkit's own dialogs (the save dialog of the export) speak the
  // program's language, whatever the desktop's is. Without the translation
  // installed they stay English, which is no reason not to start.
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }

  kadrel::TfrmMain frmMain;
  if (!frmMain.Loaded()) return 1;  // the reason has been shown
  // The one window besides the main window that lives for the whole run.
  kadrel::TAboutBox aboutBox(&frmMain);
  frmMain.SetAboutBox(&aboutBox);
  new kadrel::TDesktop(frmMain);  // the tray, the reminders and their settings; the window owns it
  new kadrel::TSyncCommand(frmMain);  // 同步到手机日历…; the window owns it
  if (QScreen* screen = frmMain.screen()) {
    frmMain.move(screen->availableGeometry().center() - frmMain.rect().center());
  }
  frmMain.show();
  // Without a window manager nothing else activates the window, and the
  // view buttons light up only in the active window.
  frmMain.activateWindow();
  return app.exec();
}
