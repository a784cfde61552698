// The main window on data folders of its own, with a fixed clock and every
// message box answered by the test.
#include "app/uKadrelMain.h"

#include "app/uBannerLabel.h"
#include "schedule/uScheduleFolder.h"
#include "calendar/uHoliday.h"
#include "platform/gui/uMessages.h"
#include "platform/uClock.h"
#include "platform/uFileOps.h"
#include "widgets/uKadrelFrame.h"
#include "widgets/uListMenu.h"
#include "widgets/uOfficeButton.h"
#include "widgets/uPopupMenu.h"
#include "widgets/uToggleButton.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "tests/app/app_test_util.h"

namespace kadrel {
namespace {

using namespace apptest;

const QString kConfigureNotice = QStringLiteral("请先对Kadrel进行配置!(菜单-配置倒班规律)");

TDateTime Date(int y, int m, int d) { return static_cast<TDateTime>(EncodeDate(y, m, d)); }

class MainWindow : public ::testing::Test {
 protected:
  // Today is 10 February 2024 unless a test says otherwise.
  void SetToday(int y, int m, int d) {
    clock_ = std::make_unique<TClockOverride>([t = Date(y, m, d) + 0.5] { return t; });
  }
  TfrmMain& Open() {
    if (!clock_) SetToday(2024, 2, 10);
    window_ = std::make_unique<TfrmMain>(dir_.Path());
    // Buttons answer clicks only when they can be seen, as on a desktop.
    if (window_->Loaded()) window_->show();
    return *window_;
  }
  int UserItem(const QString& caption) { return UserRow(*window_->UserMenu(), caption); }
  std::vector<int> DownButtons() const {
    std::vector<int> down;
    for (int t = 0; t <= 12; ++t)
      if (window_->ViewButton(t)->Down()) down.push_back(t);
    return down;
  }
  std::vector<int> CheckedViews() const {
    std::vector<int> checked;
    const QList<QAction*> items = window_->DisplayItems();
    for (int t = 0; t < items.size(); ++t)
      if (items[t]->isChecked()) checked.push_back(t);
    return checked;
  }
  QStringList ListColumn(int column) const {
    QStringList texts;
    for (int i = 0; i < window_->ListView1->topLevelItemCount(); ++i)
      texts << window_->ListView1->topLevelItem(i)->text(column);
    return texts;
  }
  std::vector<QString> Captions() const {
    std::vector<QString> captions;
    for (const TMessageRequest& r : messages_.Shown()) captions.push_back(r.Caption);
    return captions;
  }

  TScratchDir dir_;
  TMessageBoxOverride messages_;
  std::unique_ptr<TClockOverride> clock_;
  std::unique_ptr<TfrmMain> window_;
};

// --- Start-up ----------------------------------------------------------------

TEST_F(MainWindow, FirstStartInAnEmptyFolder) {
  TfrmMain& w = Open();
  ASSERT_TRUE(w.Loaded());

  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("提示"));
  EXPECT_EQ(messages_.Shown()[0].Text, kConfigureNotice);
  EXPECT_EQ(messages_.Shown()[0].Icon, TMsgIcon::Information);

  EXPECT_EQ(w.UserMenu()->Count(), 0);
  EXPECT_TRUE(w.Calendar->YearMode());
  EXPECT_EQ(w.Calendar->Year(), 2024);
  EXPECT_EQ(w.Calendar->size(), QSize(680, 350));
  EXPECT_EQ(w.YearButton->Caption(), QStringLiteral("2024年"));
  EXPECT_EQ(DownButtons(), std::vector<int>{0});
  EXPECT_TRUE(CheckedViews().empty()) << "no view is chosen until a user or a button chooses one";
  EXPECT_TRUE(w.Label1->Text().isEmpty());
  EXPECT_EQ(w.CurrentUser().Count, -1);

  const QList<QAction*> views = w.DisplayItems();
  ASSERT_EQ(views.size(), 13);
  EXPECT_EQ(views[0]->text(), QStringLiteral("2024年"));
  EXPECT_EQ(views[1]->text(), QStringLiteral("一月"));
  EXPECT_EQ(views[12]->text(), QStringLiteral("十二月"));

  window_.reset();
  for (TScheduleFile f : kScheduleFiles) {
    TTableStream t(TTableStream::kModeReadShared);
    TScheduleError error;
    ASSERT_TRUE(OpenScheduleFile(t, f, dir_.File(f), TTableStream::kModeReadShared, error)) << error.Text();
    EXPECT_EQ(t.RecordCount(), 0);
  }
}

TEST_F(MainWindow, TheNoticeAsksForWhatIsMissing) {
  // Duty kinds but no users: the notice. Users and duty kinds but no
  // scheme: no notice, the schemes are not asked about.
  WriteDataSet(dir_.Path(), {});
  Open();
  EXPECT_EQ(Captions(), std::vector<QString>{QStringLiteral("提示")});
  window_.reset();
  messages_.Clear();

  TScratchDir other;
  {
    TScheduleTables tables;
    TScheduleError error;
    ASSERT_TRUE(OpenScheduleTables(tables, other.Path(), TScheduleAccess::Write, error)) << error.Text();
    schedtest::PutDuty(tables.Work, 1, G("白班"));
    schedtest::PutUser(tables.User, G("张三"), 1, Date(2024, 2, 1), 0);
    ASSERT_TRUE(CloseScheduleTables(tables, error)) << error.Text();
  }
  TfrmMain w(other.Path());
  ASSERT_TRUE(w.Loaded());
  EXPECT_TRUE(messages_.Shown().empty());
  EXPECT_EQ(w.CurrentUser().Count, -1) << "the user's scheme is gone";
  EXPECT_EQ(w.Label1->Text(), QStringLiteral("当前用户：张三"));
}

TEST_F(MainWindow, StartsWithTheFirstUserInTheYearView) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}, {"李四", 2, Date(2024, 2, 1), 0}});
  TfrmMain& w = Open();
  EXPECT_TRUE(messages_.Shown().empty());
  ASSERT_EQ(w.UserMenu()->Count(), 2);
  EXPECT_EQ(w.UserMenu()->Text(0), QStringLiteral("张三_"));
  EXPECT_EQ(w.UserMenu()->Text(1), QStringLiteral("李四_"));
  EXPECT_EQ(w.UserMenu()->CheckedRow(), 0);
  EXPECT_EQ(U(w.CurrentUser().Name), "张三");
  EXPECT_EQ(w.CurrentUser().Count, 3);
  EXPECT_EQ(w.Label1->Text(), QStringLiteral("当前用户：张三"));
  EXPECT_EQ(CheckedViews(), std::vector<int>{0});
  EXPECT_EQ(w.Panel1->size(), QSize(750, 348));
}

TEST_F(MainWindow, DeletedUsersAreLeftOut) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}, {"李四", 2, Date(2024, 2, 1), 0}});
  {
    TTableStream users(TTableStream::kModeReadWrite);
    ASSERT_TRUE(users.Open(dir_.File(TScheduleFile::User)));
    users.First();
    ASSERT_TRUE(users.Delete());  // not packed: the slot stays, marked deleted
    ASSERT_TRUE(users.Close());
  }
  TfrmMain& w = Open();
  ASSERT_EQ(w.UserMenu()->Count(), 1);
  EXPECT_EQ(w.UserMenu()->Text(0), QStringLiteral("李四_"));
  EXPECT_EQ(U(w.CurrentUser().Name), "李四");
}

// --- Users and views -----------------------------------------------------------

TEST_F(MainWindow, AUserWhoseNameHoldsAnUnderscoreIsFound) {
  // "a" comes first and would be what a cut at the first "_" finds.
  WriteDataSet(dir_.Path(), {{"a", 2, Date(2024, 2, 1), 0}, {"a_b", 1, Date(2024, 2, 1), 1}});
  TfrmMain& w = Open();
  const int item = UserItem(QStringLiteral("a_b_"));
  ASSERT_EQ(item, 1);
  w.UserMenu()->Trigger(item);  // as a click on it does
  EXPECT_EQ(w.CurrentUser().Name, "a_b");
  EXPECT_EQ(w.CurrentUser().Count, 3);
  EXPECT_EQ(w.Label1->Text(), QStringLiteral("当前用户：a_b"));
  EXPECT_EQ(w.UserMenu()->CheckedRow(), item);
}

TEST_F(MainWindow, SelectingAUserReturnsToTheYearViewAndKeepsTheHiddenList) {
  // On 1 May 2024 张三 has 白班 and 李四, one place on, 夜班.
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}, {"李四", 1, Date(2024, 2, 1), 1}});
  TfrmMain& w = Open();
  w.ViewButton(5)->Click();
  ASSERT_FALSE(w.Calendar->YearMode());
  ASSERT_EQ(w.ListView1->topLevelItemCount(), 31);

  w.UserMenuItemClick(UserItem(QStringLiteral("李四_")));
  EXPECT_TRUE(w.Calendar->YearMode());
  EXPECT_EQ(DownButtons(), std::vector<int>{0});
  EXPECT_EQ(CheckedViews(), std::vector<int>{0});
  EXPECT_EQ(w.Panel1->size(), QSize(750, 348)) << "the host covers the month list again";
  EXPECT_EQ(w.Calendar->geometry(), QRect(0, 0, 680, 350));
  EXPECT_EQ(w.ListView1->topLevelItemCount(), 31) << "the list keeps May's rows under the grid";
  EXPECT_EQ(ListColumn(1).first(), QStringLiteral("白班")) << "张三's, as shown then";
}

TEST_F(MainWindow, FebruaryOfALeapYearListsTwentyNineDaysWithTheirDuties) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
  TfrmMain& w = Open();
  w.ViewButton(2)->Click();
  EXPECT_FALSE(w.Calendar->YearMode());
  EXPECT_EQ(w.Calendar->Month(), 2);
  EXPECT_EQ(w.Panel1->size(), QSize(490, 348));
  EXPECT_EQ(w.Calendar->geometry(), QRect(0, 0, 490, 348));
  const QStringList days = ListColumn(0);
  ASSERT_EQ(days.size(), 29);
  EXPECT_EQ(days.first(), QStringLiteral("1日"));
  EXPECT_EQ(days.last(), QStringLiteral("29日"));
  const QStringList duties = ListColumn(1);
  EXPECT_EQ(duties.mid(0, 4), (QStringList{QStringLiteral("白班"), QStringLiteral("夜班"),
                                            QStringLiteral("休息"), QStringLiteral("白班")}));
  EXPECT_EQ(duties.last(), QStringLiteral("夜班"));  // 28 days on: place 1
}

TEST_F(MainWindow, FebruaryOfACommonYearListsTwentyEightDaysEmptyWithoutAUser) {
  SetToday(2023, 6, 1);
  TfrmMain& w = Open();
  w.ViewButton(2)->Click();
  EXPECT_EQ(ListColumn(0).size(), 28);
  for (const QString& duty : ListColumn(1)) EXPECT_TRUE(duty.isEmpty());
}

TEST_F(MainWindow, EveryMonthOpensAtItsFirstDay) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
  TfrmMain& w = Open();
  QScrollBar* bar = w.ListView1->verticalScrollBar();
  auto scrollToTheEnd = [bar] {
    QCoreApplication::processEvents();  // the list lays its rows out later
    bar->setValue(bar->maximum());
  };
  w.ViewButton(1)->Click();
  scrollToTheEnd();
  ASSERT_GT(bar->value(), 0) << "31 rows do not fit";
  w.ViewButton(3)->Click();
  EXPECT_EQ(bar->value(), 0);
  scrollToTheEnd();
  w.ViewButton(3)->Click();  // the month shown again starts over too
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(MainWindow, ViewButtonsAndTheDisplayMenuActAsOneRadioGroup) {
  TfrmMain& w = Open();
  w.ViewButton(3)->Click();
  EXPECT_EQ(DownButtons(), std::vector<int>{3});
  EXPECT_EQ(CheckedViews(), std::vector<int>{3});
  EXPECT_EQ(w.Calendar->Month(), 3);

  w.ViewButton(3)->Click();  // a button that is down stays down
  EXPECT_EQ(DownButtons(), std::vector<int>{3});

  w.MonthMenuItemClick(w.DisplayItems()[12]);
  EXPECT_EQ(DownButtons(), std::vector<int>{12});
  EXPECT_EQ(CheckedViews(), std::vector<int>{12});
  EXPECT_EQ(ListColumn(0).size(), 31);

  w.DisplayItems()[0]->trigger();  // as the menu does
  EXPECT_EQ(DownButtons(), std::vector<int>{0});
  EXPECT_EQ(CheckedViews(), std::vector<int>{0});
  EXPECT_TRUE(w.Calendar->YearMode());

  // Senders that name no view change nothing.
  QAction stray;
  stray.setData(13);
  w.MonthMenuItemClick(&stray);
  w.MonthMenuItemClick(w.ViewButton(4));
  w.MonthMenuItemClick(nullptr);
  EXPECT_EQ(DownButtons(), std::vector<int>{0});
  EXPECT_TRUE(w.Calendar->YearMode());
}

TEST_F(MainWindow, BadHolidayLinesAreToldOnceAtStart) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
  std::vector<THolidayMessage> none;
  const THolidayTable table = LoadHolidayTable({}, none);
  UseHolidayTable(table, {{.Source = "/h/2027.txt", .Line = 3, .Fault = THolidayFault::SpanTooLong}});
  Open();
  UseHolidayTable(table, {});
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("提示"));
  EXPECT_EQ(messages_.Shown()[0].Text,
            QStringLiteral("节假日安排文件中有无法使用的内容，已跳过，其余照常使用：\n/h/2027.txt 第3行：一段最多31天"));
}

// --- Hover text ----------------------------------------------------------------

TEST_F(MainWindow, HoverTextOverADayOfTheMonthView) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
  TfrmMain& w = Open();
  w.ViewButton(2)->Click();
  // 1 February 2024 is a Thursday: column 4 of the first week row.
  w.CalendarMouseMove(4 * 70 + 35, 50 + 25);
  EXPECT_EQ(w.Calendar->toolTip(), QStringLiteral("今天是：2月1日\n农历：癸卯兔年十二月廿二\n今天白班"));
  EXPECT_EQ(w.HintText(), w.Calendar->toolTip());

  w.CalendarMouseMove(100, 10);  // the weekday header
  EXPECT_TRUE(w.Calendar->toolTip().isEmpty());
  w.CalendarMouseMove(35, 50 + 25);  // Sunday before the first day
  EXPECT_TRUE(w.Calendar->toolTip().isEmpty());
}

TEST_F(MainWindow, HoverTextHasTwoLinesForAUserWithoutCycle) {
  WriteDataSet(dir_.Path(), {{"张三", 99, Date(2024, 2, 1), 0}});
  TfrmMain& w = Open();
  // Year view: 1 August 2024 is a Thursday, column 3 + 4 of row 9.
  QString hint;
  ASSERT_TRUE(w.CalendarHintAt(7 * 17 + 8, 9 * 25 + 12, hint));
  EXPECT_EQ(hint, QStringLiteral("今天是：8月1日\n农历：甲辰龙年六月廿七"));
  EXPECT_FALSE(w.CalendarHintAt(17 + 8, 9 * 25 + 12, hint)) << "the month label";
}

TEST_F(MainWindow, MouseMovesOverTheGridReachTheHoverText) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
  TfrmMain& w = Open();
  QTest::mouseMove(w.Calendar, QPoint(7 * 17 + 8, 9 * 25 + 12));
  EXPECT_TRUE(w.Calendar->toolTip().startsWith(QStringLiteral("今天是：8月1日\n")));
}

// --- Failures at start-up ------------------------------------------------------

TEST_F(MainWindow, ADamagedDataFileEndsTheStartWithoutWritingAnything) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
  Bytes users = ReadFileBytes(dir_.File(TScheduleFile::User));
  users.resize(users.size() - 3);  // a torn last record
  WriteFileBytes(dir_.File(TScheduleFile::User), users);
  const std::vector<Bytes> before = DataFileBytes(dir_);

  TfrmMain& w = Open();
  EXPECT_FALSE(w.Loaded());
  ASSERT_EQ(messages_.Shown().size(), 1u);
  const TMessageRequest& box = messages_.Shown()[0];
  EXPECT_EQ(box.Caption, QStringLiteral("错误"));
  EXPECT_EQ(box.Icon, TMsgIcon::Error);
  EXPECT_TRUE(box.Text.contains(QStringLiteral("userdat.kd2"))) << box.Text.toStdString();
  EXPECT_TRUE(box.Text.contains(QStringLiteral("损坏"))) << box.Text.toStdString();

  w.close();  // closing a window that never loaded writes nothing either
  window_.reset();
  EXPECT_EQ(DataFileBytes(dir_), before);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"shiftdat.kd2", "userdat.kd2", "workdat.kd2"}));
}

TEST_F(MainWindow, DataThatCanOnlyBeReadIsShownAndNeverWritten) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}, {"李四", 2, Date(2024, 2, 1), 0}});
  const std::vector<Bytes> before = DataFileBytes(dir_);
  TWriteAccessOverride readOnly([](const std::string&) { return false; });
  TfrmMain& w = Open();
  ASSERT_TRUE(w.Loaded());
  EXPECT_TRUE(w.ReadOnly());
  EXPECT_TRUE(messages_.Shown().empty()) << "viewing needs no word at start";
  EXPECT_EQ(w.UserMenu()->Count(), 2);
  w.UserMenuItemClick(1);
  EXPECT_EQ(w.Label1->Text(), QStringLiteral("当前用户：李四"));
  w.ViewButton(2)->Click();
  EXPECT_EQ(ListColumn(1).first(), QStringLiteral("白班"));

  w.N1Click();  // no options dialog comes up: a test would wait for it
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("提示"));
  EXPECT_TRUE(messages_.Shown()[0].Text.startsWith(QStringLiteral("数据文件是只读的")));
  EXPECT_EQ(w.Label1->Text(), QStringLiteral("当前用户：李四")) << "nothing else happened";
  w.close();
  window_.reset();
  EXPECT_EQ(DataFileBytes(dir_), before);
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"shiftdat.kd2", "userdat.kd2", "workdat.kd2"}));
}

TEST_F(MainWindow, ASecondKadrelOnTheSameFolderIsTurnedAway) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
  TfrmMain& first = Open();
  ASSERT_TRUE(first.Loaded());
  const std::vector<Bytes> before = DataFileBytes(dir_);

  {
    TfrmMain second(dir_.Path());
    EXPECT_FALSE(second.Loaded());
    ASSERT_EQ(messages_.Shown().size(), 1u);
    EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("提示"));
    EXPECT_TRUE(messages_.Shown()[0].Text.contains(QStringLiteral("另一个Kadrel")));
    second.close();
  }
  EXPECT_EQ(DataFileBytes(dir_), before);
  first.ViewButton(1)->Click();  // the first one goes on undisturbed
  EXPECT_EQ(first.ListView1->topLevelItemCount(), 31);
}

// --- Start button, banner, dragging, closing -------------------------------------

// --- Keyboard --------------------------------------------------------------------

class MainWindowKeys : public MainWindow {
 protected:
  TfrmMain& OpenActive() {
    WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
    TfrmMain& w = Open();
    w.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    return w;
  }
  int Focused() const {
    for (int t = 0; t <= 12; ++t)
      if (window_->ViewButton(t)->hasFocus()) return t;
    return -1;
  }
  void Key(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
};

TEST_F(MainWindowKeys, TabAndTheArrowsGoRoundTheThirteenViewButtons) {
  TfrmMain& w = OpenActive();
  w.ViewButton(0)->setFocus();
  std::vector<int> order;
  for (int i = 0; i < 13; ++i) {
    Key(Qt::Key_Tab);
    order.push_back(Focused());
  }
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0})) << "nothing else takes the focus";
  Key(Qt::Key_Left);
  EXPECT_EQ(Focused(), 12);
  Key(Qt::Key_Right);
  EXPECT_EQ(Focused(), 0);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  Key(Qt::Key_Up);
  EXPECT_EQ(Focused(), 1);
  EXPECT_TRUE(w.ViewButton(1)->Face().Focused) << "the focus can be seen";
  EXPECT_EQ(DownButtons(), std::vector<int>{0}) << "moving the focus chooses nothing";
}

TEST_F(MainWindowKeys, SpaceOrReturnChoosesTheFocusedViewAndThePageKeysScrollTheMonthList) {
  TfrmMain& w = OpenActive();
  w.ViewButton(3)->setFocus();
  Key(Qt::Key_Space);
  EXPECT_EQ(DownButtons(), std::vector<int>{3});
  EXPECT_EQ(w.Calendar->Month(), 3);
  Key(Qt::Key_Right);
  Key(Qt::Key_Return);
  EXPECT_EQ(DownButtons(), std::vector<int>{4});
  EXPECT_EQ(CheckedViews(), std::vector<int>{4});
  QCoreApplication::processEvents();  // the list lays its rows out later
  QScrollBar* bar = w.ListView1->verticalScrollBar();
  Key(Qt::Key_PageDown);
  EXPECT_GT(bar->value(), 0);
  Key(Qt::Key_Home);
  EXPECT_EQ(bar->value(), 0);
  Key(Qt::Key_End);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_EQ(Focused(), 4) << "the focus stays on the buttons";
}

TEST_F(MainWindowKeys, TheMenuKeyAndF10OpenTheCommandMenuWithItsFirstItemLit) {
  TfrmMain& w = OpenActive();
  for (const Qt::Key key : {Qt::Key_Menu, Qt::Key_F10}) {
    Key(key);
    EXPECT_TRUE(w.PopupMenu1->isVisible()) << key;
    EXPECT_EQ(w.PopupMenu1->pos(), w.StartMenuPosition());
    EXPECT_EQ(w.PopupMenu1->activeAction(), w.N1);
    w.PopupMenu1->close();
  }
}

TEST_F(MainWindow, OnlyTheLeftButtonOpensTheCommandMenuBelowTheStartButton) {
  TfrmMain& w = Open();
  QTest::mouseClick(w.Start, Qt::RightButton, {}, QPoint(20, 10));
  EXPECT_FALSE(w.PopupMenu1->isVisible());
  QTest::mouseClick(w.Start, Qt::MiddleButton, {}, QPoint(20, 10));
  EXPECT_FALSE(w.PopupMenu1->isVisible());

  QTest::mouseClick(w.Start, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_TRUE(w.PopupMenu1->isVisible());
  EXPECT_EQ(w.StartMenuPosition(), w.mapToGlobal(QPoint(16, 5 + 28 - 1)));
  EXPECT_EQ(w.PopupMenu1->pos(), w.StartMenuPosition());
  w.PopupMenu1->close();
}

TEST_F(MainWindow, TheCommandMenuHoldsEveryItemInOrder) {
  TfrmMain& w = Open();
  struct TItem {
    const char* Name;
    const char* Caption;  // empty for a separator
    bool Visible;
  };
  const TItem expected[] = {
      {"N1", "配置倒班规律", true}, {"seluser", "选择用户", true}, {"N4", "年份导航", true},
      {"displaymonth", "显示", true}, {"RosterItem", "排班表", true}, {"N2", "打印Kadrel", true},
      {"N6", "", true},
      {"N7", "设置", false},         {"N8", "", false},            {"N9", "导出", true},
      {"N10", "", true},            {"N11", "帮助", true},        {"N12", "关于...", true},
      {"N13", "", true},            {"N14", "最小到任务栏", false}, {"N15", "关闭", true},
  };
  const QList<QAction*> items = w.PopupMenu1->actions();
  ASSERT_EQ(items.size(), qsizetype(std::size(expected)));
  for (qsizetype i = 0; i < items.size(); ++i) {
    const TItem& e = expected[i];
    EXPECT_EQ(items[i]->objectName(), QString::fromUtf8(e.Name));
    EXPECT_EQ(items[i]->isSeparator(), *e.Caption == 0) << e.Name;
    if (*e.Caption) {
      EXPECT_EQ(items[i]->text(), QString::fromUtf8(e.Caption)) << e.Name;
    }
    EXPECT_EQ(items[i]->isVisible(), e.Visible) << e.Name;
    EXPECT_EQ(items[i]->icon().isNull(), std::string_view(e.Name) == "N7" || *e.Caption == 0 ||
                                             std::string_view(e.Name) == "N14")
        << e.Name;
  }
}

TEST_F(MainWindow, TheBannerScrollsLeftAndStartsOverEveryTwentyEightTicks) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
  TfrmMain& w = Open();
  EXPECT_FALSE(w.Label1->Drawn()) << "see-through until the first tick";
  std::vector<int> xs;
  for (int i = 0; i < 29; ++i) {
    w.Timer1Timer();
    xs.push_back(w.Label1->DrawnX());
  }
  std::vector<int> expected;
  for (int x = 255; x >= -15; x -= 10) expected.push_back(x);
  expected.push_back(255);
  EXPECT_EQ(xs, expected);

  // The strip is the title blue; the text is in the window colour.
  QImage strip(w.Label1->size(), QImage::Format_RGB32);
  strip.fill(Qt::black);
  QPainter painter(&strip);
  w.Label1->Paint(painter, strip.size());
  painter.end();
  EXPECT_EQ(strip.pixelColor(0, 0), QColor(0, 52, 224));
  EXPECT_EQ(strip.pixelColor(strip.width() - 1, strip.height() - 1), QColor(0, 52, 224));
}

TEST_F(MainWindow, DraggingTheBannerMovesTheWindow) {
  TfrmMain& w = Open();
  w.Frame()->SetSystemMove([](QWindow*) { return false; });
  w.move(100, 100);
  QTest::mousePress(w.Label1, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(w.Label1, QPoint(40, 30));
  QTest::mouseRelease(w.Label1, Qt::LeftButton, {}, QPoint(40, 30));
  EXPECT_EQ(w.pos(), QPoint(130, 120));
}

TEST_F(MainWindow, ClosingClosesTheThreeTables) {
  WriteDataSet(dir_.Path(), {{"张三", 1, Date(2024, 2, 1), 0}});
  TfrmMain& w = Open();
  w.N15->trigger();
  EXPECT_FALSE(w.isVisible());
  for (TScheduleFile f : kScheduleFiles) EXPECT_FALSE(w.Folder()->Tables().Table(f).IsOpen());
  EXPECT_TRUE(messages_.Shown().empty());
  TScheduleTables again;
  TScheduleError error;
  EXPECT_TRUE(OpenScheduleTables(again, dir_.Path(), TScheduleAccess::Read, error)) << error.Text();
}

class TFailingWrites : public TFileOps {
 public:
  ssize_t Write(int, const void*, std::size_t, off_t) override {
    errno = ENOSPC;
    return -1;
  }
};

// Every record is on disk before: closing writes nothing, so a disk that
// fails by then cannot turn the end of the program into an error.
TEST_F(MainWindow, ClosingWritesNothingSoAFailingDiskShowsNoError) {
  TfrmMain& w = Open();
  messages_.Clear();
  TFailingWrites failing;
  w.Folder()->Tables().Work.SetFileOps(&failing);
  w.CloseButtonClick();
  EXPECT_TRUE(messages_.Shown().empty());
  for (TScheduleFile f : kScheduleFiles) EXPECT_FALSE(w.Folder()->Tables().Table(f).IsOpen());
}

}  // namespace
}  // namespace kadrel
