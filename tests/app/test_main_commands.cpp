// The commands of the main window's menu: the options dialog and the user
// chosen after it, the year navigator, print and export, help, the about box,
// and what closing does to the help window. Modal windows are driven from a
// timer that fires once they are up; the shell is a fake.
#include "about/uAbout.h"
#include "app/uAppIcon.h"
#include "app/uBannerLabel.h"
#include "app/uKadrelMain.h"
#include "config/uKDOption.h"
#include "config/uNewShift.h"
#include "schedule/uScheduleFolder.h"
#include "output/uWizd.h"
#include "output/uScheduleDoc.h"
#include "output/uYearWz.h"
#include "output/uprint.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uShell.h"
#include "platform/gui/uShellX11.h"
#include "platform/uClock.h"
#include "widgets/uToggleButton.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/app/app_test_util.h"
#include "tests/output/test_print_surface.h"

namespace kadrel {
namespace {

using namespace apptest;

TDateTime Date(int y, int m, int d) { return static_cast<TDateTime>(EncodeDate(y, m, d)); }

class TFakeShell : public TShell {
 public:
  bool HelpFileThere = true;
  TWindowId HelpWindow = 0;
  // The seam's finders are const; the fake still records them.
  mutable QStringList Calls;
  std::function<void()> OnClose;

  bool FileExists(const QString& path) const override {
    Calls << QStringLiteral("exists ") + path;
    return HelpFileThere;
  }
  TWindowId FindTopLevelWindow(const QString& title) const override {
    Calls << QStringLiteral("find ") + title;
    return HelpWindow;
  }
  void CloseWindow(TWindowId window) override {
    Calls << QStringLiteral("close %1").arg(window);
    if (OnClose) OnClose();
  }
  void OpenDocument(const QString& path) override { Calls << QStringLiteral("open ") + path; }
};

class MainCommands : public ::testing::Test {
 protected:
  MainCommands() : clock_([t = Date(2024, 2, 10) + 0.5] { return t; }), shellOverride_(shell_) {}

  // 张三 works the three-shift cycle from 1 Feb 2024; 李四 and bob the
  // day shift alone.
  TfrmMain& Open(const std::vector<TUserSpec>& users = {{"张三", 1, Date(2024, 2, 1), 0},
                                                         {"李四", 2, Date(2024, 2, 1), 0},
                                                         {"bob", 2, Date(2024, 2, 1), 0}}) {
    WriteDataSet(dir_.Path(), users);
    window_ = std::make_unique<TfrmMain>(dir_.Path());
    if (window_->Loaded()) window_->show();
    return *window_;
  }
  int UserItem(const QString& caption) { return apptest::UserRow(*window_->UserMenu(), caption); }
  QStringList CheckedUsers() const {
    const TListMenu& menu = *window_->UserMenu();
    return menu.CheckedRow() < 0 ? QStringList{} : QStringList{menu.Text(menu.CheckedRow())};
  }
  // Runs the options dialog, changing the tables while it is open as a user
  // of the dialog would.
  void Configure(std::function<void(TScheduleTables&)> change = {}) {
    WhenModal<TfrmOption>([this, change](TfrmOption&) {
      if (change) change(window_->Folder()->Tables());
    });
    window_->N1Click();
  }
  void RenameUser(TScheduleTables& t, const char* from, const char* to) {
    ASSERT_TRUE(LocateLiveText(t.User, kUserName, G(from)));
    ASSERT_TRUE(t.User.Edit());
    ASSERT_TRUE(t.User.SetText(kUserName, G(to)));
    ASSERT_TRUE(t.User.Post()) << t.User.ErrorString();
  }

  TScratchDir dir_;
  TMessageBoxOverride messages_;
  TClockOverride clock_;
  TFakeShell shell_;
  TShellOverride shellOverride_;
  std::unique_ptr<TfrmMain> window_;
};

// --- Options dialog --------------------------------------------------------------

TEST_F(MainCommands, TheUserSelectedBeforeTheOptionsDialogStaysSelected) {
  TfrmMain& w = Open();
  w.UserMenuItemClick(UserItem(QStringLiteral("李四_")));
  w.ViewButton(4)->Click();
  Configure([](TScheduleTables& t) {
    schedtest::PutUser(t.User, G("王五"), 1, Date(2024, 1, 1), 0);
  });
  EXPECT_EQ(w.UserMenu()->Count(), 4);
  EXPECT_EQ(CheckedUsers(), QStringList{QStringLiteral("李四_")});
  EXPECT_EQ(U(w.CurrentUser().Name), "李四");
  EXPECT_EQ(w.Label1->Text(), QStringLiteral("当前用户：李四"));
  EXPECT_TRUE(w.Calendar->YearMode()) << "the year view follows every use of the dialog";
}

TEST_F(MainCommands, ARenamedUserGivesWayToTheFirstUser) {
  TfrmMain& w = Open();
  w.UserMenuItemClick(UserItem(QStringLiteral("李四_")));
  Configure([this](TScheduleTables& t) { RenameUser(t, "李四", "王五"); });
  EXPECT_EQ(CheckedUsers(), QStringList{QStringLiteral("张三_")});
  EXPECT_EQ(U(w.CurrentUser().Name), "张三");
  EXPECT_EQ(w.CurrentUser().Count, 3);
}

TEST_F(MainCommands, ANameChangedOnlyInItsCaseIsNotTheSameUser) {
  // Looking users up ignores the case of A to Z; finding the user again
  // after the dialog must not.
  TfrmMain& w = Open();
  w.UserMenuItemClick(UserItem(QStringLiteral("bob_")));
  Configure([this](TScheduleTables& t) { RenameUser(t, "bob", "Bob"); });
  EXPECT_EQ(CheckedUsers(), QStringList{QStringLiteral("张三_")});
}

TEST_F(MainCommands, DeletingEveryUserLeavesNoUserShown) {
  TfrmMain& w = Open({{"张三", 1, Date(2024, 2, 1), 0}});
  w.ViewButton(2)->Click();
  Configure([](TScheduleTables& t) {
    ASSERT_TRUE(LocateLiveText(t.User, kUserName, G("张三")));
    ASSERT_TRUE(t.User.Delete());
  });
  EXPECT_EQ(w.UserMenu()->Count(), 0);
  EXPECT_TRUE(w.Label1->Text().isEmpty());
  EXPECT_EQ(w.CurrentUser().Count, -1) << "a deleted user's duties stay off the screen";
  EXPECT_TRUE(w.Calendar->YearMode());
  w.ViewButton(2)->Click();
  for (int i = 0; i < w.ListView1->topLevelItemCount(); ++i)
    EXPECT_TRUE(w.ListView1->topLevelItem(i)->text(1).isEmpty());
}

// --- Year navigator ----------------------------------------------------------------

TEST_F(MainCommands, TheYearNavigatorMovesToTheYearChosenAndOnlyOnOk) {
  TfrmMain& w = Open();
  w.ViewButton(7)->Click();
  WhenModal<TfrmYearWZ>([](TfrmYearWZ& nav) {
    EXPECT_EQ(nav.Year(), 2024) << "from the year button's caption";
    nav.SetYear(1999);
    nav.FlatButton2Click();
  });
  w.N4Click();
  EXPECT_EQ(w.Calendar->Year(), 2024);
  EXPECT_FALSE(w.Calendar->YearMode()) << "cancelled: nothing changes";

  WhenModal<TfrmYearWZ>([](TfrmYearWZ& nav) {
    nav.SetYear(2000);
    nav.FlatButton1Click();
  });
  w.N4Click();
  EXPECT_EQ(w.Calendar->Year(), 2000);
  EXPECT_TRUE(w.Calendar->YearMode());
  EXPECT_EQ(w.YearButton->Caption(), QStringLiteral("2000年"));
  EXPECT_EQ(w.DisplayItems()[0]->text(), QStringLiteral("2000年"));
  EXPECT_TRUE(w.DisplayItems()[0]->isChecked());

  w.ViewButton(2)->Click();  // February 2000, a leap month
  EXPECT_EQ(w.Calendar->Year(), 2000);
  EXPECT_EQ(w.ListView1->topLevelItemCount(), 29);
}

TEST_F(MainCommands, AYearAfterTheLastArrangementKnownIsToldOnce) {
  TfrmMain& w = Open();
  for (int year : {2100, 2031}) {
    WhenModal<TfrmYearWZ>([year](TfrmYearWZ& nav) {
      nav.SetYear(year);
      nav.FlatButton1Click();
    });
    w.N4Click();
  }
  EXPECT_EQ(w.Calendar->Year(), 2031);
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("提示"));
  EXPECT_TRUE(messages_.Shown()[0].Text.startsWith(QStringLiteral("Kadrel还不知道2100年的节假日安排（已知的最后一年是2026年）")))
      << messages_.Shown()[0].Text.toStdString();
}

// --- Print and export --------------------------------------------------------------

TEST_F(MainCommands, PrintAndExportGetTheCurrentUserAndTheShownYear) {
  TfrmMain& w = Open();
  WhenModal<TfrmYearWZ>([](TfrmYearWZ& nav) {
    nav.SetYear(2025);
    nav.FlatButton1Click();
  });
  w.N4Click();
  w.UserMenuItemClick(UserItem(QStringLiteral("李四_")));
  w.ViewButton(3)->Click();  // the month shown plays no part

  printtest::TPrintRecord record;
  TPrintSurfaceOverride printer(
      [&record] { return std::make_unique<printtest::TRecordingSurface>(record, 2000, 3000); });
  WhenModal<TprnForm>([](TprnForm& form) { form.FlatButton1Click(); });
  w.N2Click();
  ASSERT_FALSE(record.Texts().empty());
  EXPECT_EQ(U(record.Texts().front()), U(ScheduleTitle(w.CurrentUser(), 2025)));

  WhenModal<TwizdForm>([](TwizdForm& wizard) {
    wizard.fbNextClick();
    wizard.fbNextClick();
    EXPECT_TRUE(wizard.Edit1->text().contains(QStringLiteral("李四"))) << wizard.Edit1->text().toStdString();
    EXPECT_TRUE(wizard.Edit1->text().contains(QStringLiteral("2025年"))) << wizard.Edit1->text().toStdString();
    wizard.fbCancelClick();
  });
  w.N9Click();
}

// --- Help and about --------------------------------------------------------------------

TEST_F(MainCommands, HelpWarnsWithoutItsFileAndOpensItOnlyOnce) {
  TfrmMain& w = Open();
  const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/HelpKD.chm");
  shell_.HelpFileThere = false;
  w.N11Click();
  EXPECT_EQ(shell_.Calls, QStringList{QStringLiteral("exists ") + path});
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Text, QStringLiteral("帮助文件不存在！"));
  EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("警告"));
  EXPECT_EQ(messages_.Shown()[0].Icon, TMsgIcon::Warning);

  shell_.HelpFileThere = true;
  shell_.Calls.clear();
  w.N11Click();
  EXPECT_EQ(shell_.Calls, (QStringList{QStringLiteral("exists ") + path, QStringLiteral("find Kadrel2的帮助"),
                                       QStringLiteral("open ") + path}));
  shell_.Calls.clear();
  shell_.HelpWindow = 77;  // the viewer is up now
  w.N11Click();
  EXPECT_FALSE(shell_.Calls.last().startsWith(QStringLiteral("open")));
  EXPECT_EQ(messages_.Shown().size(), 1u);
}

TEST_F(MainCommands, ClosingClosesTheHelpWindowBeforeTheTables) {
  TfrmMain& w = Open();
  shell_.HelpWindow = 77;
  bool tablesOpenThen = false;
  TScheduleTables& tables = w.Folder()->Tables();
  shell_.OnClose = [&] { tablesOpenThen = tables.User.IsOpen() && tables.Work.IsOpen(); };
  w.N15->trigger();
  EXPECT_EQ(shell_.Calls, (QStringList{QStringLiteral("find Kadrel2的帮助"), QStringLiteral("close 77")}));
  EXPECT_TRUE(tablesOpenThen);
  EXPECT_FALSE(tables.User.IsOpen());
}

TEST_F(MainCommands, AWindowThatNeverLoadedLeavesTheHelpWindowAlone) {
  Open();
  shell_.HelpWindow = 77;
  TfrmMain second(dir_.Path());  // turned away: the files are in use
  ASSERT_FALSE(second.Loaded());
  second.close();
  EXPECT_TRUE(shell_.Calls.isEmpty()) << "the help window belongs to the Kadrel that runs";
}

TEST_F(MainCommands, AboutShowsTheBoxMadeAtStartModallyEachTime) {
  TfrmMain& w = Open();
  TAboutBox about(&w);
  w.SetAboutBox(&about);
  for (int time = 1; time <= 2; ++time) {
    bool shownModally = false;
    WhenModal<TAboutBox>([&](TAboutBox& box) {
      shownModally = &box == &about && box.isModal() && box.isVisible();
      box.OKButtonClick();
    });
    w.N12Click();
    EXPECT_TRUE(shownModally) << "time " << time;
    EXPECT_FALSE(about.isVisible());
  }
}

TEST_F(MainCommands, EscapeClosesEveryDialog) {
  TfrmMain& w = Open();
  TAboutBox about(&w);
  w.SetAboutBox(&about);
  printtest::TPrintRecord record;
  TPrintSurfaceOverride printer(
      [&record] { return std::make_unique<printtest::TRecordingSurface>(record, 2000, 3000); });
  // Escape goes to whatever has the focus in the dialog, as a key does.
  auto escape = [](QDialog& dialog) {
    QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible()) << dialog.metaObject()->className();
    EXPECT_NE(dialog.result(), QDialog::Accepted) << dialog.metaObject()->className();
  };
  for (void (TfrmMain::*command)() :
       {&TfrmMain::N1Click, &TfrmMain::N4Click, &TfrmMain::N2Click, &TfrmMain::N9Click, &TfrmMain::N12Click}) {
    WhenModal<QDialog>(escape);
    (w.*command)();
  }
  EXPECT_TRUE(record.Texts().empty()) << "nothing printed";
  TfmNewShift name(&w);
  name.show();
  escape(name);
}

// A viewer puts its own name beside the guide's title; only a whole title
// beside a separator counts, so another document is never taken for it.
TEST(HelpWindowTitle, IsFoundBesideTheViewersNameOnly) {
  const std::string title = "Kadrel2的帮助";
  for (std::string window : {"Kadrel2的帮助", "xCHM v. 1.35: Kadrel2的帮助", "Viewer - Kadrel2的帮助",
                             "Kadrel2的帮助 - Viewer"}) {
    EXPECT_TRUE(IsTitledAs(window, title)) << window;
  }
  for (std::string window : {"", "Kadrel2的帮", "xCHM: 旧Kadrel2的帮助", "Kadrel2的帮助.chm", ": Kadrel2的帮助",
                             "Kadrel2的帮助 - ", "Kadrel2的帮助: Viewer"}) {
    EXPECT_FALSE(IsTitledAs(window, title)) << window;
  }
}

TEST(ProgramIcon, HasEveryRenderedSize) {
  const QIcon icon = ProgramIcon();
  ASSERT_FALSE(icon.availableSizes().isEmpty());
  for (const QSize& size : icon.availableSizes()) {
    const QPixmap pixmap = icon.pixmap(size);
    EXPECT_EQ(pixmap.size(), size);
    EXPECT_FALSE(pixmap.toImage().pixelColor(size.width() / 2, size.height() / 2).alpha() == 0) << size.width();
  }
}

}  // namespace
}  // namespace kadrel
