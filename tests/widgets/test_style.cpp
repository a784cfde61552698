// The shared look: the menu images, the command menu's left-button rule,
// its image column, the long list of the user menu, the start button's
// mouse-up, the focus marks, and what ApplyKadrelStyle installs.
#include "widgets/uFonts.h"
#include "widgets/uKadrelStyle.h"
#include "widgets/uListMenu.h"
#include "widgets/uMenuImages.h"
#include "widgets/uOfficeButton.h"
#include "widgets/uPopupMenu.h"
#include "widgets/uSysColors.h"
#include "widget_test_util.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QListView>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionMenuItem>
#include <QTabBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <set>

namespace kadrel {
namespace {

QByteArray Fingerprint(const QImage& image) {
  return QCryptographicHash::hash(
      QByteArrayView(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()),
      QCryptographicHash::Sha1);
}

TEST(MenuImages, FifteenDistinctImages) {
  std::set<QByteArray> seen;
  for (int i = 0; i < kMenuImageCount; ++i) {
    const QIcon icon = KadrelMenuImage(i);
    ASSERT_FALSE(icon.isNull()) << i;
    const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) opaque += qAlpha(image.pixel(x, y)) > 128;
    EXPECT_GT(opaque, 20) << "image " << i << " is nearly empty";
    EXPECT_LT(opaque, 256) << "image " << i << " has no transparent surround";
    EXPECT_TRUE(seen.insert(Fingerprint(image)).second) << "image " << i << " repeats another";
  }
  EXPECT_TRUE(KadrelMenuImage(-1).isNull());
  EXPECT_TRUE(KadrelMenuImage(kMenuImageCount).isNull());
}

TEST(MenuImages, DisabledImagesAreFainter) {
  const QIcon icon = KadrelMenuImage(9);
  const QImage normal = icon.pixmap(QSize(16, 16), QIcon::Normal).toImage();
  const QImage disabled = icon.pixmap(QSize(16, 16), QIcon::Disabled).toImage();
  EXPECT_LT(qAlpha(disabled.pixel(8, 8)), qAlpha(normal.pixel(8, 8)));
}

class CommandMenu : public testing::Test {
 protected:
  void SetUp() override {
    menu_.addAction(KadrelMenuImage(0), QStringLiteral("配置倒班规律"));
    menu_.addSeparator();
    action_ = menu_.addAction(KadrelMenuImage(9), QStringLiteral("关闭"));
    menu_.popup(QPoint(50, 50));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu_));
  }
  TPopupMenu menu_;
  QAction* action_ = nullptr;
};

TEST_F(CommandMenu, OnlyTheLeftButtonTriggers) {
  QSignalSpy triggered(action_, &QAction::triggered);
  const QPoint at = menu_.actionGeometry(action_).center();
  QTest::mouseClick(&menu_, Qt::RightButton, {}, at);
  QTest::mouseClick(&menu_, Qt::MiddleButton, {}, at);
  EXPECT_EQ(triggered.count(), 0);
  EXPECT_TRUE(menu_.isVisible());
  QTest::mouseClick(&menu_, Qt::LeftButton, {}, at);
  EXPECT_EQ(triggered.count(), 1);
}

TEST_F(CommandMenu, FlatItemsWithAnImageColumn) {
  EXPECT_EQ(menu_.font().pixelSize(), 12);
  EXPECT_GE(menu_.actionGeometry(action_).height(), 22);
  EXPECT_EQ(menu_.actions()[1]->isSeparator(), true);
  EXPECT_LT(menu_.actionGeometry(menu_.actions()[1]).height(), 10);

  const QImage shot = menu_.grab().toImage();
  const int y = menu_.actionGeometry(menu_.actions()[1]).center().y() - 2;  // beside the separator
  const QColor column = shot.pixelColor(1 + kMenuIconColumn - 1, y);
  const QColor body = shot.pixelColor(1 + kMenuIconColumn + 2, y);
  EXPECT_NE(column, body) << "the image column is shaded";
  EXPECT_EQ(body, QColor(255, 255, 255));
  EXPECT_EQ(shot.pixelColor(1 + kMenuIconColumn - 1, 3), column) << "one column from top to bottom";
}

TEST(MenuItem, DrawnWithinItsOwnColumn) {
  // An item of a second column: its image column and caption lie inside its
  // own rectangle, not at the menu's left edge.
  QImage shot = test::Canvas(300, 30, QColor(255, 255, 255));
  TPopupMenu menu;
  QStyleOptionMenuItem item;
  item.initFrom(&menu);
  item.state = QStyle::State_Enabled;
  item.menuItemType = QStyleOptionMenuItem::Normal;
  item.text = QStringLiteral("u42_");
  item.icon = KadrelMenuImage(12);
  item.font = KadrelFont(12);
  item.menuRect = QRect(0, 0, 300, 30);
  item.rect = QRect(150, 4, 150, 22);
  {
    QPainter p(&shot);
    QApplication::style()->drawControl(QStyle::CE_MenuItem, &item, &p);
  }
  EXPECT_EQ(test::At(shot, 1 + kMenuIconColumn - 1, 15), QColor(255, 255, 255)) << "nothing in the first column";
  EXPECT_NE(test::At(shot, 150 + kMenuIconColumn - 1, 15), QColor(255, 255, 255)) << "its own image column";
  int ink = 0;
  for (int y = 4; y < 26; ++y)
    for (int x = 150 + kMenuIconColumn; x < 300; ++x) ink += test::At(shot, x, y).lightness() < 128;
  EXPECT_GT(ink, 10) << "the caption is painted";
}

class ListMenu : public testing::Test {
 protected:
  void Fill(int count) {
    QStringList captions;
    for (int i = 1; i <= count; ++i) captions << QStringLiteral("u%1_").arg(i);
    menu_.SetItems(captions, KadrelMenuImage(12));
  }
  void Open() {
    menu_.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu_));
  }
  QListView& List() { return *menu_.List(); }
  QRect Row(int row) { return List().visualRect(List().model()->index(row, 0)); }
  QPoint RowCentre(int row) { return Row(row).center(); }

  TListMenu menu_{QStringLiteral("选择用户")};
};

TEST_F(ListMenu, ManyItemsScrollWithinTheScreenAndEveryOneCanBeReached) {
  Fill(5000);
  Open();
  const QRect screen = menu_.screen()->availableGeometry();
  EXPECT_LE(menu_.height(), screen.height());
  EXPECT_EQ(List().height() % Row(0).height(), 0) << "whole rows only";
  List().scrollToBottom();
  const QRect last = Row(4999);
  EXPECT_TRUE(List().viewport()->rect().contains(last)) << "the last item comes into view";
  QSignalSpy chosen(&menu_, &TListMenu::Triggered);
  QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, last.center());
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen[0][0].toInt(), 4999);
  EXPECT_FALSE(menu_.isVisible());
}

TEST_F(ListMenu, AFewItemsAreSizedAsMenuItemsAndTheCheckedOneIsInSightAtOpening) {
  Fill(3);
  Open();
  EXPECT_GE(Row(0).height(), 22);
  EXPECT_EQ(List().height(), 3 * Row(0).height());
  EXPECT_FALSE(List().verticalScrollBar()->isVisible());
  menu_.hide();

  Fill(5000);
  menu_.SetCheckedRow(4000);
  EXPECT_EQ(menu_.CheckedRow(), 4000);
  Open();
  EXPECT_TRUE(List().viewport()->rect().contains(Row(4000)));
  menu_.SetCheckedRow(5000);
  EXPECT_EQ(menu_.CheckedRow(), -1) << "no such item";
}

TEST_F(ListMenu, NewItemsAreMeasuredAnewWhenTheMenuOpens) {
  Fill(3);
  Open();
  const int narrow = Row(0).width();
  menu_.hide();
  menu_.SetItems({QStringLiteral("一个名字很长很长很长的用户_")}, KadrelMenuImage(12));
  Open();
  EXPECT_GT(Row(0).width(), narrow + 50);
}

TEST_F(ListMenu, OnlyTheLeftButtonChoosesAndKeysRunRound) {
  Fill(4);
  Open();
  QSignalSpy chosen(&menu_, &TListMenu::Triggered);
  QTest::keyClick(&menu_, Qt::Key_Down);  // the menu reached from the keyboard
  EXPECT_EQ(List().currentIndex().row(), 0);
  QTest::mouseMove(List().viewport(), RowCentre(2));
  EXPECT_EQ(List().currentIndex().row(), 2) << "the pointer lights the item";
  QTest::mouseClick(List().viewport(), Qt::RightButton, {}, RowCentre(2));
  QTest::mouseClick(List().viewport(), Qt::MiddleButton, {}, RowCentre(2));
  EXPECT_EQ(chosen.count(), 0);
  EXPECT_TRUE(menu_.isVisible());

  QTest::keyClick(&List(), Qt::Key_Down);
  QTest::keyClick(&List(), Qt::Key_Down);  // from the last round to the first
  EXPECT_EQ(List().currentIndex().row(), 0);
  QTest::keyClick(&List(), Qt::Key_Up);
  EXPECT_EQ(List().currentIndex().row(), 3);
  QTest::keyClick(&List(), Qt::Key_Return);
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen[0][0].toInt(), 3);
}

TEST_F(ListMenu, AnEmptyListLeavesTheMenuEmpty) {
  Fill(0);
  EXPECT_EQ(menu_.Count(), 0);
  EXPECT_TRUE(menu_.isEmpty() || !menu_.actions().first()->isVisible());
  EXPECT_TRUE(menu_.Text(0).isEmpty());
}

TEST(OfficeButton, ReportsEveryButtonButClicksOnlyForTheLeft) {
  QWidget window;
  auto* start = new TOfficeButton(&window);
  start->setText(QStringLiteral("Kadrel v2.0 "));
  start->setGeometry(16, 5, 130, 28);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QSignalSpy up(start, &TOfficeButton::MouseUp);
  QSignalSpy clicked(start, &QAbstractButton::clicked);
  QTest::mouseClick(start, Qt::RightButton, {}, QPoint(10, 10));
  ASSERT_EQ(up.count(), 1);
  EXPECT_EQ(up[0][0].value<Qt::MouseButton>(), Qt::RightButton);
  EXPECT_EQ(clicked.count(), 0);
  QTest::mouseClick(start, Qt::LeftButton, {}, QPoint(10, 10));
  ASSERT_EQ(up.count(), 2);
  EXPECT_EQ(up[1][0].value<Qt::MouseButton>(), Qt::LeftButton);
  EXPECT_EQ(up[1][1].toPoint(), QPoint(10, 10));
  EXPECT_EQ(clicked.count(), 1);
}

TEST(FocusMark, ButtonsAndTabsShowItOnlyOnceTheKeyboardIsUsed) {
  QWidget window;
  window.resize(460, 40);
  auto* push = new QPushButton(QStringLiteral("保存"), &window);
  push->setGeometry(4, 4, 78, 26);
  auto* tool = new QToolButton(&window);
  tool->setText(QStringLiteral("..."));
  tool->setGeometry(90, 4, 40, 26);
  auto* start = new TOfficeButton(&window);
  start->setText(QStringLiteral("Kadrel v2.0 "));
  start->setGeometry(140, 4, 130, 28);
  auto* tabs = new QTabBar(&window);
  tabs->addTab(QStringLiteral("用户管理"));
  tabs->addTab(QStringLiteral("班制管理"));
  tabs->setGeometry(280, 4, 170, 26);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const QColor ink = push->palette().color(QPalette::ButtonText);
  for (QWidget* button : std::initializer_list<QWidget*>{push, tool, start, tabs}) {
    window.setAttribute(Qt::WA_KeyboardFocusChange, false);
    window.setFocus();
    const QImage unfocused = button->grab().toImage();
    button->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(button->grab().toImage(), unfocused) << button->metaObject()->className() << ": focus by the mouse";
    window.setAttribute(Qt::WA_KeyboardFocusChange);
    const QImage marked = button->grab().toImage();
    // What the mark changes: dots of the caption's ink, never two side by side.
    int dots = 0, adjacent = 0, otherInk = 0;
    for (int y = 0; y < marked.height(); ++y) {
      for (int x = 0; x < marked.width(); ++x) {
        if (marked.pixel(x, y) == unfocused.pixel(x, y)) continue;
        ++dots;
        otherInk += marked.pixelColor(x, y) != ink;
        adjacent += x > 0 && marked.pixel(x - 1, y) != unfocused.pixel(x - 1, y);
      }
    }
    const char* kind = button->metaObject()->className();
    EXPECT_GT(dots, 40) << kind;
    EXPECT_EQ(otherInk, 0) << kind;
    EXPECT_EQ(adjacent, 0) << kind << ": dotted";
  }
}

TEST(KadrelStyle, InstalledOnTheApplication) {
  EXPECT_NE(qobject_cast<TKadrelStyle*>(QApplication::style()), nullptr);
  EXPECT_EQ(QApplication::font().family(), QStringLiteral("宋体"));
  EXPECT_EQ(QApplication::font().pixelSize(), 13);
  EXPECT_EQ(QApplication::font("QMenu").pixelSize(), 12);
  EXPECT_EQ(ClInfoBk(), QColor(255, 255, 225));
  EXPECT_EQ(ClWindow(), QColor(255, 255, 255)) << "the banner's text colour";
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(240, 236, 216));
}

}  // namespace
}  // namespace kadrel
