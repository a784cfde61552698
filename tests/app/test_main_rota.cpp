// The rota in the main window: badges, dots, the month list and the hover
// text of changed days, the menu of a day by the right button and the keys,
// and changes recorded and undone through it. The three schedule files are
// checked to keep their bytes through all of it.
#include "app/uKadrelMain.h"

#include "config/uDayChange.h"
#include "config/uDayMenu.h"
#include "platform/gui/uMessages.h"
#include "platform/uClock.h"
#include "schedule/uRotaFiles.h"
#include "schedule/uScheduleFolder.h"
#include "widgets/uPopupMenu.h"
#include "widgets/uToggleButton.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "tests/app/app_test_util.h"

namespace kadrel {
namespace {

using namespace apptest;

TDateTime Feb(int d) { return static_cast<TDateTime>(EncodeDate(2024, 2, d)); }

class MainRota : public ::testing::Test {
 protected:
  // 张三 cycles 白班 夜班 休息 from 1 February 2024, 李四 works 白班 daily.
  MainRota() { WriteDataSet(dir_.Path(), {{"张三", 1, Feb(1), 0}, {"李四", 2, Feb(1), 0}}); }

  // Stored before the window opens, as another session would have left it.
  void Store(TExceptionKind kind, TDateTime first, TDateTime last, std::string leave = {}, std::string note = {}) {
    TScheduleFolder folder(dir_.Path());
    ASSERT_FALSE(folder.Open({TFolderAccess::Write, TWritePolicy::AsTyped}).Failed());
    TExceptionRecord r;
    r.Kind = kind;
    r.User = G("张三");
    r.First = first;
    r.Last = last;
    r.Leave = std::move(leave);
    r.Note = std::move(note);
    TRotaError error;
    ASSERT_TRUE(folder.Rota().AddException(r, error)) << error.Text();
    TScheduleError closing;
    ASSERT_TRUE(folder.Close(closing));
  }
  TfrmMain& Open(int view = 2) {
    window_ = std::make_unique<TfrmMain>(dir_.Path());
    window_->show();
    window_->ViewButton(view)->Click();
    return *window_;
  }
  QImage Picture(int view) {
    Open(view);
    QImage picture = window_->Calendar->Picture();
    window_.reset();
    return picture;
  }
  QTreeWidgetItem* Row(int day) const { return window_->ListView1->topLevelItem(day - 1); }
  QPoint CellCentre(int day) const { return window_->Calendar->MonthDayRect(day).center(); }
  // The cells of the picture where `a` and `b` differ, by their day.
  std::vector<int> ChangedDays(const QImage& a, const QImage& b) const {
    std::vector<int> days;
    for (int d = 1; d <= 29; ++d) {
      const QRect cell = window_->Calendar->MonthDayRect(d);
      bool differs = false;
      for (int y = cell.top(); y <= cell.bottom() && !differs; ++y)
        for (int x = cell.left(); x <= cell.right() && !differs; ++x) differs = a.pixel(x, y) != b.pixel(x, y);
      if (differs) days.push_back(d);
    }
    return days;
  }

  TScratchDir dir_;
  TClockOverride clock_{[] { return Feb(10) + 0.5; }};
  TMsgResult answer_ = TMsgResult::No;
  TMessageBoxOverride messages_{[this](const TMessageRequest&) { return answer_; }};
  std::unique_ptr<TfrmMain> window_;
};

TEST_F(MainRota, AChangedDayCarriesItsBadgeListTextAndHoverLinesAndNothingElseMoves) {
  const QImage plainFeb = Picture(2), plainJan = Picture(1), plainYear = Picture(0);
  Store(TExceptionKind::Leave, Feb(5), Feb(6), G("年假"));
  Store(TExceptionKind::Note, Feb(20), Feb(20), {}, G("体检"));  // a note alone has no badge

  TfrmMain& w = Open(2);
  const QImage marked = w.Calendar->Picture();
  EXPECT_EQ(ChangedDays(plainFeb, marked), (std::vector<int>{5, 6}));
  QImage outside = marked;  // every pixel outside the two cells as it was
  for (int d : {5, 6}) {
    QPainter(&outside).drawImage(w.Calendar->MonthDayRect(d).topLeft(), plainFeb, w.Calendar->MonthDayRect(d));
  }
  EXPECT_EQ(outside, plainFeb);
  EXPECT_EQ(Row(5)->text(1), QStringLiteral("年假"));
  EXPECT_FALSE(Row(5)->icon(1).isNull());
  EXPECT_EQ(Row(7)->text(1), QStringLiteral("白班"));
  EXPECT_TRUE(Row(7)->icon(1).isNull());
  QString hint;
  ASSERT_TRUE(w.CalendarHintAt(CellCentre(5).x(), CellCentre(5).y(), hint));
  EXPECT_TRUE(hint.endsWith(QStringLiteral("\n今天年假\n请假：年假（原：夜班）"))) << hint.toStdString();

  w.ViewButton(1)->Click();
  EXPECT_EQ(w.Calendar->Picture(), plainJan) << "a month without changes is pixel-identical";
  w.ViewButton(0)->Click();
  const QImage year = w.Calendar->Picture();
  int changed = 0;
  for (int y = 0; y < year.height(); ++y)
    for (int x = 0; x < year.width(); ++x) changed += year.pixel(x, y) != plainYear.pixel(x, y);
  EXPECT_EQ(changed, 2 * 9) << "a 3 x 3 dot for each of the two days";
}

TEST_F(MainRota, TheMenuOfADayOpensByTheRightButtonTheMenuKeyAndOnTheList) {
  TfrmMain& w = Open(2);
  QContextMenuEvent rightButton(QContextMenuEvent::Mouse, CellCentre(14), w.Calendar->mapToGlobal(CellCentre(14)));
  QApplication::sendEvent(w.Calendar, &rightButton);
  EXPECT_TRUE(w.DayMenu->isVisible());
  EXPECT_EQ(w.MenuDay(), Feb(14));
  EXPECT_TRUE(w.DayMenu->SwapItem->isEnabled() && w.DayMenu->NoteItem->isEnabled());
  EXPECT_FALSE(w.DayMenu->UndoItem->isEnabled()) << "nothing to undo on a day as the rotation has it";
  w.DayMenu->close();

  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::mouseClick(w.Calendar, Qt::LeftButton, {}, CellCentre(3));
  QTest::keyClick(w.Calendar, Qt::Key_Right);
  QTest::keyClick(w.Calendar, Qt::Key_Down);
  EXPECT_EQ(w.Calendar->FocusDay(), 11);
  EXPECT_EQ(w.ListView1->currentItem(), Row(11)) << "the list follows the focused day";
  QTest::keyClick(w.Calendar, Qt::Key_Menu);
  EXPECT_TRUE(w.DayMenu->isVisible());
  EXPECT_EQ(w.MenuDay(), Feb(11));
  EXPECT_EQ(w.DayMenu->pos(), w.Calendar->mapToGlobal(CellCentre(11)));
  EXPECT_EQ(w.DayMenu->activeAction(), w.DayMenu->SwapItem);
  w.DayMenu->close();

  const QRect row = w.ListView1->visualItemRect(Row(20));
  emit w.ListView1->customContextMenuRequested(row.center());
  EXPECT_EQ(w.MenuDay(), Feb(20));
  w.DayMenu->close();

  w.ViewButton(0)->Click();
  w.MenuKey();
  EXPECT_FALSE(w.DayMenu->isVisible());
  EXPECT_TRUE(w.PopupMenu1->isVisible()) << "the year view has no focused day";
  w.PopupMenu1->close();

  // The navigator reaches a year before any a change may fall in: a picker
  // would quietly move the day, so nothing may be begun there.
  w.Calendar->DrawYear(40, 14, kFirstRotaYear - 1, 3, 2);
  w.ViewButton(2)->Click();
  w.DayMenuPopup(14, {});
  EXPECT_FALSE(w.DayMenu->LeaveItem->isEnabled());
  w.DayMenu->close();
}

TEST_F(MainRota, ViewingOnlyDisablesEveryEntry) {
  Store(TExceptionKind::Leave, Feb(5), Feb(5));
  TWriteAccessOverride readOnly([](const std::string&) { return false; });
  TfrmMain& w = Open(2);
  ASSERT_TRUE(w.ReadOnly());
  w.DayMenuPopup(5, w.Calendar->mapToGlobal(CellCentre(5)));
  for (QAction* item : w.DayMenu->actions()) {
    if (item->isSeparator()) continue;
    EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
  }
  w.DayMenu->close();
}

TEST_F(MainRota, ChangesRecordedAndUndoneThroughTheMenuLeaveTheThreeFilesAlone) {
  const std::vector<Bytes> before = DataFileBytes(dir_);
  TfrmMain& w = Open(2);
  auto choose = [&](int day, QAction* item, std::function<void(TfrmDayChange&)> fill) {
    w.DayMenuPopup(day, w.Calendar->mapToGlobal(CellCentre(day)));
    WhenModal<TfrmDayChange>(fill);
    item->trigger();
  };
  choose(5, w.DayMenu->LeaveItem, [](TfrmDayChange& d) {
    d.fcbLeave->setEditText(QStringLiteral("病假"));
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
  });
  EXPECT_EQ(Row(5)->text(1), QStringLiteral("病假"));
  choose(6, w.DayMenu->SwapItem, [](TfrmDayChange& d) {
    ASSERT_EQ(d.fcbPartner->currentText(), QStringLiteral("李四")) << "the other users, not 张三";
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
  });
  EXPECT_EQ(Row(6)->text(1), QStringLiteral("白班")) << "李四's duty of the day";
  EXPECT_TRUE(messages_.Shown().empty());

  // A second swap of the day is refused in words, and the dialog stays.
  bool stayed = false;
  choose(6, w.DayMenu->SwapItem, [&](TfrmDayChange& d) {
    QTest::mouseClick(d.btnOk, Qt::LeftButton);
    stayed = d.isVisible();
  });
  EXPECT_TRUE(stayed);
  ASSERT_EQ(messages_.Shown().size(), 1u);
  EXPECT_EQ(messages_.Shown()[0].Caption, QStringLiteral("提示"));
  EXPECT_EQ(messages_.Shown()[0].Text, QStringLiteral("张三这一天已经换过班了，请先撤销那次换班。"));
  EXPECT_EQ(w.Folder()->Rota().Exceptions().size(), 3u) << "a leave and the swap's two halves";

  // Undoing asks first, naming the change; "No" keeps it.
  w.DayMenuPopup(6, {});
  ASSERT_TRUE(w.DayMenu->UndoItem->isEnabled());
  w.DayMenu->UndoItem->trigger();
  EXPECT_EQ(messages_.Shown().back().Text,
            QStringLiteral("要撤销2024年2月6日的以下调整吗？\n换班：与李四（2024年2月6日）"));
  EXPECT_EQ(w.Folder()->Rota().Exceptions().size(), 3u);
  answer_ = TMsgResult::Yes;
  w.DayMenu->UndoItem->trigger();
  EXPECT_EQ(w.Folder()->Rota().Exceptions().size(), 1u) << "both halves of the swap went";
  EXPECT_EQ(Row(6)->text(1), QStringLiteral("休息"));
  EXPECT_TRUE(Row(6)->icon(1).isNull());

  w.close();
  window_.reset();
  EXPECT_EQ(DataFileBytes(dir_), before);
}

}  // namespace
}  // namespace kadrel
