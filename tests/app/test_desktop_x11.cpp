// The desktop's real parts: a notification daemon (dunst) on the private
// session bus this test runs on, with dbus-monitor recording every Notify
// call it is sent, and an XEmbed tray (trayer) on the X server. Run under
// Xvfb and dbus-run-session, which give both a home of their own.
#include "app/uDesktop.h"
#include "app/uKadrelMain.h"
#include "app/uReminderTimer.h"
#include "app/uTray.h"
#include "platform/gui/uMessages.h"
#include "platform/uClock.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "tests/app/app_test_util.h"
#include "tests/app/desktop_test_util.h"

namespace kadrel {
namespace {

using namespace apptest;

// A program of the desktop, stopped with the test.
struct TProgram {
  QProcess Process;
  explicit TProgram(const QString& program, const QStringList& arguments) {
    Process.setProcessChannelMode(QProcess::MergedChannels);
    Process.start(program, arguments);
  }
  ~TProgram() {
    Process.terminate();
    if (!Process.waitForFinished(3000)) Process.kill();
  }
};

TEST(DesktopOnX11, OneNotifyPerDueReminderAndNoneAfterARestart) {
  const QString monitorCalls = QStringLiteral("interface='org.freedesktop.Notifications',member='Notify'");
  TProgram monitor(QStringLiteral("dbus-monitor"), {monitorCalls});
  // dbus-monitor says who it is once it listens.
  ASSERT_TRUE(WaitFor([&] { return monitor.Process.waitForReadyRead(50) || monitor.Process.bytesAvailable() > 0; }, 5000));
  TProgram daemon(QStringLiteral("dunst"), {});
  QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
  const QString service = QStringLiteral("org.freedesktop.Notifications");
  ASSERT_TRUE(WaitFor([&] { return bus->isServiceRegistered(service).value(); }, 5000))
      << daemon.Process.readAll().toStdString();

  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, static_cast<TDateTime>(EncodeDate(2025, 1, 1)), 0}});
  SetNightTimes(dir.Path());
  TMessageBoxOverride boxes;
  TUtcTime now = Cst(2025, 7, 31, 19, 0);
  TUtcClockOverride clock([&] { return now; });
  QByteArray calls;
  auto notifies = [&] {
    calls += monitor.Process.readAll();
    return calls.count("member=Notify");
  };
  for (int start = 0; start < 2; ++start) {
    TfrmMain main(dir.Path());
    ASSERT_TRUE(main.Loaded());
    auto* desktop = new TDesktop(main);
    now.Seconds += 60;
    desktop->Timer()->Wake();
    // The reply is awaited before the ledger is written.
    EXPECT_TRUE(WaitFor([&] { return notifies() == 1; }, 5000)) << calls.toStdString();
    QTest::qWait(500);
    main.close();
  }
  EXPECT_EQ(notifies(), 1) << calls.toStdString();
  EXPECT_TRUE(calls.contains("string \"夜班 20:00 开始（还有60分钟）\"")) << calls.toStdString();
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST(DesktopOnX11, TheIconSitsInARealTrayAndKeepsKadrelThere) {
  TProgram host(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top")});
  ASSERT_TRUE(WaitFor([] { return TTray::Available(); }, 5000)) << host.Process.readAll().toStdString();
  TScratchDir dir;
  WriteDataSet(dir.Path(), {{"张三", 1, static_cast<TDateTime>(EncodeDate(2025, 1, 1)), 0}});
  TMessageBoxOverride boxes;
  TfrmMain main(dir.Path());
  ASSERT_TRUE(main.Loaded());
  auto* desktop = new TDesktop(main);
  desktop->TrayKeepItem->trigger();
  main.show();
  ASSERT_TRUE(WaitFor([&] { return !desktop->Tray()->Geometry().isEmpty(); }, 5000)) << "the tray took the icon";
  main.CloseButtonClick();
  EXPECT_FALSE(main.isVisible());
  EXPECT_TRUE(main.Folder()->Tables().User.IsOpen());
  desktop->Tray()->QuitItem->trigger();
  EXPECT_FALSE(main.Folder()->Tables().User.IsOpen());
  EXPECT_TRUE(boxes.Shown().empty());
}

}  // namespace
}  // namespace kadrel

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
    std::puts("no X display or no session bus: skipped");
    return 77;
  }
  for (const char* program : {"dunst", "dbus-monitor", "trayer"}) {
    if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
      std::printf("%s is not installed: skipped\n", program);
      return 77;
    }
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
