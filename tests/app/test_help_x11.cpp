// The shell's window list on a real X server: Kadrel finds the help window
// by its title and, when it closes, asks that window to close; and where
// the server has a window. Run under
// Xvfb, which has no window manager, so the request goes to the window
// itself. The help window is first a window of this process, then the real
// CHM viewer showing the built guide.
#include "app/uKadrelMain.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uShell.h"
#include "platform/gui/uShellX11.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/app/app_test_util.h"

namespace kadrel {
namespace {

using apptest::WaitFor;

class HelpWindowOnX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    help_.setWindowTitle(TfrmMain::HelpWindowTitle());
    help_.resize(200, 100);
    help_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help_));
  }
  QWidget help_;
};

TEST_F(HelpWindowOnX11, IsFoundByItsExactTitleAndClosesWhenAsked) {
  TShell& shell = Shell();
  const TWindowId found = shell.FindTopLevelWindow(QStringLiteral("Kadrel2的帮助"));
  EXPECT_EQ(found, TWindowId(help_.winId()));
  EXPECT_EQ(shell.FindTopLevelWindow(QStringLiteral("Kadrel2的帮")), TWindowId(0));

  shell.CloseWindow(found);
  EXPECT_TRUE(WaitFor([&] { return !help_.isVisible(); }));
  EXPECT_TRUE(WaitFor([&] { return Shell().FindTopLevelWindow(TfrmMain::HelpWindowTitle()) == 0; }))
      << "a closed window is no longer found";
}

// Framed windows are placed from this answer, not from the toolkit's copy.
TEST_F(HelpWindowOnX11, ItsPlaceIsAsTheServerHasIt) {
  help_.move(123, 45);
  EXPECT_TRUE(WaitFor([&] { return X11WindowOrigin(help_.winId()) == QPoint(123, 45); }));
  EXPECT_EQ(X11WindowOrigin(0), std::nullopt);
}

TEST_F(HelpWindowOnX11, ClosingKadrelClosesIt) {
  apptest::TScratchDir dir;
  apptest::WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}});
  TMessageBoxOverride messages;
  TfrmMain window(dir.Path());
  ASSERT_TRUE(window.Loaded());
  window.show();
  window.CloseButtonClick();
  EXPECT_TRUE(WaitFor([&] { return !help_.isVisible(); }));
}

// The viewer titles its window with its own name before the guide's title;
// the guide opens through the desktop shell as the help command opens it,
// is found, and closes with Kadrel.
TEST(HelpViewerOnX11, TheRealViewerIsFoundAndClosesWithKadrel) {
  if (QStandardPaths::findExecutable(QStringLiteral("xchm")).isEmpty()) GTEST_SKIP() << "xchm is not installed";
  TShell& shell = Shell();
  ASSERT_TRUE(shell.FileExists(QStringLiteral(KADREL_HELP_FILE)));
  shell.OpenDocument(QStringLiteral(KADREL_HELP_FILE));
  ASSERT_TRUE(WaitFor([&] { return shell.FindTopLevelWindow(TfrmMain::HelpWindowTitle()) != 0; }, 20000))
      << "no window showing the guide appeared";

  apptest::TScratchDir dir;
  apptest::WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}});
  TMessageBoxOverride messages;
  TfrmMain window(dir.Path());
  ASSERT_TRUE(window.Loaded());
  window.show();
  window.CloseButtonClick();
  EXPECT_TRUE(WaitFor([&] { return shell.FindTopLevelWindow(TfrmMain::HelpWindowTitle()) == 0; }, 10000))
      << "the viewer is still open";
}

}  // namespace
}  // namespace kadrel

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::puts("no X display: skipped");
    return 77;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
