// The window frame: its outline, the title buttons it places, and dragging
// by the panel, both by the window system and by hand.
#include "widgets/uGradientPanel.h"
#include "widgets/uKadrelFrame.h"
#include "widgets/uTitleButtons.h"
#include "widget_test_util.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>

#include <map>
#include <optional>

#include <gtest/gtest.h>

namespace kadrel {
namespace {

TEST(WindowRegion, MainWindowOutline) {
  const QRegion region = KadrelWindowRegion(QSize(698, 442));
  EXPECT_EQ(region.boundingRect(), QRect(0, 0, 698, 432)) << "the bottom 10 rows are cut away";
  for (QPoint in : {QPoint(349, 0), QPoint(0, 221), QPoint(697, 221), QPoint(349, 431), QPoint(18, 0),
                    QPoint(679, 0), QPoint(7, 7)}) {
    EXPECT_TRUE(region.contains(in)) << in.x() << ", " << in.y();
  }
  for (QPoint out : {QPoint(0, 0), QPoint(697, 0), QPoint(0, 431), QPoint(697, 431), QPoint(17, 0),
                     QPoint(680, 0), QPoint(349, 432), QPoint(349, 441), QPoint(5, 5)}) {
    EXPECT_FALSE(region.contains(out)) << out.x() << ", " << out.y();
  }
}

TEST(WindowRegion, CornersAreSymmetric) {
  const QSize size(311, 252);
  const QRegion region = KadrelWindowRegion(size);
  const int h = size.height() - 10;
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 23; ++x) {
      const bool tl = region.contains(QPoint(x, y));
      EXPECT_EQ(region.contains(QPoint(size.width() - 1 - x, y)), tl) << x << ", " << y;
      EXPECT_EQ(region.contains(QPoint(x, h - 1 - y)), tl) << x << ", " << y;
    }
  }
}

TEST(WindowRegion, SmallWindows) {
  EXPECT_TRUE(KadrelWindowRegion(QSize(100, 10)).isEmpty());
  EXPECT_TRUE(KadrelWindowRegion(QSize(0, 100)).isEmpty());
  const QRegion tiny = KadrelWindowRegion(QSize(20, 20));
  EXPECT_EQ(tiny.boundingRect(), QRect(0, 0, 20, 10));
  EXPECT_TRUE(tiny.contains(QPoint(10, 5)));
  EXPECT_FALSE(tiny.contains(QPoint(0, 0)));
}

class FramedWindow : public testing::Test {
 protected:
  void SetUp() override {
    window_.resize(698, 442);
    frame_ = new TKadrelFrame(&window_);
    frame_->SetSystemMove([this](QWindow*) {
      ++systemMoves_;
      return systemAccepts_;
    });
    window_.move(100, 100);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }

  QWidget window_;
  TKadrelFrame* frame_ = nullptr;
  int systemMoves_ = 0;
  bool systemAccepts_ = false;
};

TEST_F(FramedWindow, BorderlessShapedAndFilled) {
  EXPECT_TRUE(window_.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(window_.mask(), KadrelWindowRegion(window_.size()));
  EXPECT_EQ(frame_->Panel()->geometry(), QRect(0, 0, 698, 442));

  window_.resize(486, 333);
  EXPECT_EQ(window_.mask().boundingRect(), QRect(0, 0, 486, 323)) << "the outline follows the size";
  EXPECT_EQ(frame_->Panel()->size(), QSize(486, 333));
  EXPECT_EQ(frame_->CloseButton()->pos(), QPoint(486 - 38, 9));
}

TEST_F(FramedWindow, PanelShowsTheWindowGradient) {
  const QImage shot = window_.grab().toImage();
  QImage expected = test::Canvas(698, 442);
  {
    QPainter p(&expected);
    KadrelPanelGradient().FillGradient(p, 698, 442, true, Qt::red);
  }
  for (QPoint at : {QPoint(10, 221), QPoint(169, 221), QPoint(349, 100), QPoint(300, 300)}) {
    EXPECT_EQ(shot.pixelColor(at), expected.pixelColor(at)) << at.x() << ", " << at.y();
  }
  EXPECT_EQ(shot.pixelColor(0, 221), QColor(0, 52, 224)) << "outer frame";
}

TEST_F(FramedWindow, CloseButtonSitsTopRightWithItsHintAndCloses) {
  TRoundButton* close = frame_->CloseButton();
  EXPECT_EQ(close->geometry(), QRect(660, 9, 23, 23));
  EXPECT_EQ(close->toolTip(), QStringLiteral("关闭"));
  EXPECT_EQ(close->Background(), frame_->ButtonBackground());
  QTest::mouseClick(close, Qt::LeftButton, {}, QPoint(11, 11));
  EXPECT_FALSE(window_.isVisible());
}

TEST_F(FramedWindow, CloseButtonCanBeHidden) {
  frame_->SetCloseButtonVisible(false);
  EXPECT_FALSE(frame_->CloseButton()->isVisible());
}

TEST_F(FramedWindow, MinimizeButtonBesideTheCloseButton) {
  EXPECT_EQ(frame_->MinimizeButton(), nullptr);
  TArrowButton* minimize = frame_->AddMinimizeButton();
  EXPECT_EQ(frame_->AddMinimizeButton(), minimize) << "only one";
  EXPECT_EQ(minimize->geometry(), QRect(632, 10, 23, 20));
  EXPECT_EQ(minimize->ButtonType(), TArrowDirection::dDown);
  EXPECT_EQ(minimize->toolTip(), QStringLiteral("最小化"));
  QTest::mouseClick(minimize, Qt::LeftButton, {}, QPoint(11, 6));
  EXPECT_TRUE(window_.isMinimized());
}

TEST_F(FramedWindow, DraggingThePanelByHandMovesTheWindow) {
  const QPoint start = window_.pos();
  TGradientPanel* panel = frame_->Panel();
  QTest::mousePress(panel, Qt::LeftButton, {}, QPoint(300, 200));
  QTest::mouseMove(panel, QPoint(330, 220));
  EXPECT_EQ(systemMoves_, 1) << "the window system is asked first";
  EXPECT_EQ(window_.pos(), start + QPoint(30, 20));
  // Positions are relative to the panel, which has moved with the window;
  // the offset still counts from the pointer's place at the press.
  QTest::mouseMove(panel, QPoint(290, 195));
  EXPECT_EQ(window_.pos(), start + QPoint(20, 15));
  QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(290, 195));
  QTest::mouseMove(panel, QPoint(100, 100));
  EXPECT_EQ(window_.pos(), start + QPoint(20, 15)) << "no move after the release";
}

TEST_F(FramedWindow, TheSecondPressOfADoubleClickStartsADragToo) {
  TGradientPanel* panel = frame_->Panel();
  const QPoint start = window_.pos();
  auto send = [panel](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), panel->mapToGlobal(QPointF(at)), button, held, {});
    QApplication::sendEvent(panel, &event);
  };
  send(QEvent::MouseButtonDblClick, {300, 200}, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, {310, 205}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(window_.pos(), start + QPoint(10, 5));
}

TEST_F(FramedWindow, BodyPanelsAreBeige) {
  QWidget* body = frame_->AddBody({6, 35, 687, 380});
  EXPECT_EQ(body->parentWidget(), frame_->Panel());
  EXPECT_EQ(body->geometry(), QRect(6, 35, 687, 380));
  EXPECT_EQ(window_.grab().toImage().pixelColor(300, 200), QColor(240, 236, 216));

  auto* label = new QLabel(QStringLiteral("年份"), body);
  label->show();
  const QPoint start = window_.pos();
  for (QWidget* target : {body, static_cast<QWidget*>(label)}) {
    QTest::mousePress(target, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(target, QPoint(25, 25));
    QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(25, 25));
  }
  EXPECT_EQ(window_.pos(), start) << "the body does not drag the window";
}

TEST_F(FramedWindow, ARegisteredLabelDragsLikeThePanel) {
  auto* banner = new QLabel(QStringLiteral("当前用户："), frame_->Panel());
  banner->setGeometry(152, 8, 257, 25);
  banner->show();
  frame_->AddDragHandle(banner);
  const QPoint start = window_.pos();
  QTest::mousePress(banner, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(banner, QPoint(25, 12));
  EXPECT_EQ(window_.pos(), start + QPoint(15, 2));
  QTest::mouseRelease(banner, Qt::LeftButton, {}, QPoint(25, 12));
}

TEST_F(FramedWindow, TheRightButtonDoesNotDrag) {
  const QPoint start = window_.pos();
  QTest::mousePress(frame_->Panel(), Qt::RightButton, {}, QPoint(300, 200));
  QTest::mouseMove(frame_->Panel(), QPoint(330, 220));
  QTest::mouseRelease(frame_->Panel(), Qt::RightButton, {}, QPoint(330, 220));
  EXPECT_EQ(window_.pos(), start);
  EXPECT_EQ(systemMoves_, 0);
}

TEST_F(FramedWindow, AWindowSystemMoveIsNotDoubled) {
  systemAccepts_ = true;
  const QPoint start = window_.pos();
  QTest::mousePress(frame_->Panel(), Qt::LeftButton, {}, QPoint(300, 200));
  QTest::mouseMove(frame_->Panel(), QPoint(330, 220));
  QTest::mouseMove(frame_->Panel(), QPoint(350, 240));
  QTest::mouseRelease(frame_->Panel(), Qt::LeftButton, {}, QPoint(350, 240));
  EXPECT_EQ(systemMoves_, 1);
  EXPECT_EQ(window_.pos(), start);
}

// A window manager asked to move on a click whose release has already
// arrived moves the window until the next click.
TEST_F(FramedWindow, AClickOrAJitterIsNoDrag) {
  systemAccepts_ = true;
  const QPoint start = window_.pos();
  TGradientPanel* panel = frame_->Panel();
  const int jitter = QGuiApplication::styleHints()->startDragDistance() - 1;
  QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(300, 200));
  QTest::mousePress(panel, Qt::LeftButton, {}, QPoint(300, 200));
  QTest::mouseMove(panel, QPoint(300 + jitter, 200));
  QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(300 + jitter, 200));
  QTest::mouseMove(panel, QPoint(400, 300));
  EXPECT_EQ(systemMoves_, 0);
  EXPECT_EQ(window_.pos(), start);
}

TEST_F(FramedWindow, TitleIsWhiteAndDrags) {
  QLabel* title = frame_->SetTitle(QStringLiteral("设置"));
  EXPECT_EQ(frame_->SetTitle(QStringLiteral("打印")), title);
  EXPECT_EQ(title->text(), QStringLiteral("打印"));
  EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(title->font().pixelSize(), 15);
  const QPoint start = window_.pos();
  QTest::mousePress(title, Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseMove(title, QPoint(13, 3));
  EXPECT_EQ(window_.pos(), start + QPoint(10, 0));
}

TEST(FramedDialog, CloseButtonRejectsAModalDialog) {
  QDialog dialog;
  dialog.resize(279, 103);
  TKadrelFrame* frame = new TKadrelFrame(&dialog);
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(dialog.windowFlags() & Qt::Dialog) << "still a dialog";
  QSignalSpy rejected(&dialog, &QDialog::rejected);
  dialog.open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTest::mouseClick(frame->CloseButton(), Qt::LeftButton, {}, QPoint(11, 11));
  EXPECT_EQ(rejected.count(), 1);
  EXPECT_FALSE(dialog.isVisible());
}

// Under a window manager the toolkit's copy of a window's place could stay
// at (0, 0) after mapping: a child dialog then opened in the screen's corner
// and a drop-down calendar over the wrong controls. The toolkit also left
// room for a title bar these windows do not have.
TEST(FramedDialog, PlacedFromWhereTheWindowSystemHasThem) {
  QWidget owner;
  QDialog child(&owner);
  std::map<QWidget*, QPoint> windowSystem{{&owner, {150, 120}}, {&child, {260, 215}}};
  const auto origin = [&](QWidget* w) { return std::optional<QPoint>(windowSystem.at(w)); };
  owner.resize(486, 333);
  (new TKadrelFrame(&owner))->SetWindowOrigin(origin);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  child.resize(279, 153);
  (new TKadrelFrame(&child))->SetWindowOrigin(origin);

  child.show();
  EXPECT_EQ(child.pos(), QPoint(150 + 103, 120 + 90)) << "centred over the owner";
  EXPECT_EQ(owner.mapToGlobal(QPoint(0, 0)), QPoint(150, 120)) << "the owner's drop-downs open beside it";
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&child, &activate);
  EXPECT_EQ(child.mapToGlobal(QPoint(0, 0)), QPoint(260, 215));
}

}  // namespace
}  // namespace kadrel
