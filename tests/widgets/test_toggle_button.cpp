// The view-row toggle button: sticky groups, hot tracking, what a press
// that ends elsewhere does and the keys, then its bevels and focus mark on a
// picture.
#include "widgets/uSysColors.h"
#include "widgets/uToggleButton.h"
#include "widget_test_util.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace kadrel {
namespace {

class ToggleButtons : public testing::Test {
 protected:
  void SetUp() override {
    window_.resize(300, 120);
    for (int n = 0; n < 3; ++n) {
      auto* b = new TToggleButton(&window_);
      b->setGeometry(10 + 43 * n, 10, 44, 21);
      b->SetCaption(QStringLiteral("%1 月").arg(n + 1));
      buttons_.push_back(b);
    }
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  void Click(TToggleButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(20, 10)); }

  QWidget window_;
  std::vector<TToggleButton*> buttons_;
};

TEST_F(ToggleButtons, AButtonAloneInItsGroupStaysDown) {
  TToggleButton* b = buttons_[0];
  b->SetGroupIndex(1);
  QSignalSpy clicked(b, &TToggleButton::clicked);
  Click(b);
  EXPECT_TRUE(b->Down());
  Click(b);
  EXPECT_TRUE(b->Down()) << "a second click does not raise it";
  EXPECT_EQ(clicked.count(), 2);
  b->SetDown(false);
  EXPECT_FALSE(b->Down());
}

TEST_F(ToggleButtons, PressingOneButtonOfAGroupRaisesTheOthers) {
  for (auto* b : buttons_) b->SetGroupIndex(7);
  Click(buttons_[0]);
  Click(buttons_[2]);
  EXPECT_FALSE(buttons_[0]->Down());
  EXPECT_FALSE(buttons_[1]->Down());
  EXPECT_TRUE(buttons_[2]->Down());
  buttons_[1]->SetDown(true);
  EXPECT_FALSE(buttons_[2]->Down()) << "setting Down from the program raises the group too";
}

TEST_F(ToggleButtons, OtherGroupsAreLeftAlone) {
  buttons_[0]->SetGroupIndex(1);
  buttons_[1]->SetGroupIndex(2);
  Click(buttons_[0]);
  Click(buttons_[1]);
  EXPECT_TRUE(buttons_[0]->Down());
  EXPECT_TRUE(buttons_[1]->Down());
}

TEST_F(ToggleButtons, AllowAllUpIsSharedByTheGroupAndLetsTheLastOneUp) {
  for (auto* b : buttons_) b->SetGroupIndex(3);
  buttons_[0]->SetAllowAllUp(true);
  EXPECT_TRUE(buttons_[2]->AllowAllUp());
  Click(buttons_[2]);
  Click(buttons_[2]);
  EXPECT_FALSE(buttons_[2]->Down());
}

TEST_F(ToggleButtons, WithoutAGroupAButtonNeverStaysDown) {
  TToggleButton* b = buttons_[0];
  QSignalSpy clicked(b, &TToggleButton::clicked);
  b->SetDown(true);
  EXPECT_FALSE(b->Down());
  Click(b);
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(clicked.count(), 1);
}

TEST_F(ToggleButtons, ReleasingOutsideChangesNothingAndFiresNothing) {
  TToggleButton* b = buttons_[0];
  b->SetGroupIndex(1);
  QSignalSpy clicked(b, &TToggleButton::clicked);
  QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 10));
  EXPECT_TRUE(b->Pressed());
  EXPECT_EQ(b->Face().Shift(), 1);
  QTest::mouseMove(b, QPoint(20, 60));
  EXPECT_FALSE(b->Hot());
  EXPECT_EQ(b->Face().Shift(), 0) << "no longer drawn pressed once the pointer leaves";
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 60));
  EXPECT_FALSE(b->Pressed());
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(clicked.count(), 0);
}

TEST_F(ToggleButtons, HotWhileThePointerIsOver) {
  TToggleButton* b = buttons_[1];
  QTest::mouseMove(b, QPoint(10, 10));
  EXPECT_TRUE(b->Hot());
  QTest::mouseMove(&window_, QPoint(250, 100));
  EXPECT_FALSE(b->Hot());
}

TEST_F(ToggleButtons, DisabledButtonsIgnoreThePointer) {
  TToggleButton* b = buttons_[0];
  b->SetGroupIndex(1);
  b->setEnabled(false);
  QSignalSpy clicked(b, &TToggleButton::clicked);
  QTest::mouseMove(b, QPoint(10, 10));
  EXPECT_FALSE(b->Hot());
  Click(b);
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(clicked.count(), 0);
}

TEST_F(ToggleButtons, AcceleratorActsAsAClick) {
  TToggleButton* b = buttons_[0];
  b->SetGroupIndex(1);
  b->SetCaption(QStringLiteral("&Year"));
  QSignalSpy clicked(b, &TToggleButton::clicked);
  QTest::keyClick(&window_, Qt::Key_Y, Qt::AltModifier);
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_TRUE(b->Down());
}

TEST_F(ToggleButtons, SpaceAndReturnClickTheFocusedButtonOnceAndShowItsFocus) {
  TToggleButton* b = buttons_[1];
  b->SetGroupIndex(1);
  QSignalSpy clicked(b, &TToggleButton::clicked);
  b->setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(b->Face().Focused) << "focus given by the mouse shows no mark";
  QTest::keyClick(b, Qt::Key_Space);
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_TRUE(b->Down());
  EXPECT_TRUE(b->Face().Focused) << "a window worked from the keyboard shows it";
  QTest::keyClick(b, Qt::Key_Return);
  QTest::keyClick(b, Qt::Key_Enter);
  QTest::keyPress(b, Qt::Key_Space, {}, -1);
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QString(), true);
  QApplication::sendEvent(b, &repeat);
  EXPECT_EQ(clicked.count(), 4) << "a key held down clicks once";
  buttons_[0]->setFocus();
  EXPECT_FALSE(b->Face().Focused);
}

// Bevels on a picture. The button face colour is the palette's, so the
// bevel colours are told apart from a background of magenta.
const QColor kBg(255, 0, 255);

QImage Paint(const TToggleButtonFace& face) {
  QImage image = test::Canvas(44, 21, kBg);
  QPainter p(&image);
  face.paint(&p, image.rect());
  return image;
}

TToggleButtonFace Face(bool hot, bool pressed, bool down, bool enabled = true) {
  TToggleButtonFace face;
  face.Hot = hot;
  face.Pressed = pressed;
  face.Down = down;
  face.Enabled = enabled;
  return face;
}

TEST(ToggleButtonFace, CaptionRectangleShiftsDownWhenPressed) {
  EXPECT_EQ(TToggleButtonFace::CaptionRect(QSize(44, 21), 0), QRect(4, 4, 36, 13));
  EXPECT_EQ(TToggleButtonFace::CaptionRect(QSize(44, 21), 1), QRect(4, 5, 36, 13));
  EXPECT_EQ(Face(true, true, false).Shift(), 1);
  EXPECT_EQ(Face(false, true, false).Shift(), 0);
  EXPECT_EQ(Face(false, false, true).Shift(), 1);
}

TEST(ToggleButtonFace, Bevels) {
  const QColor hi = ClBtnHighlight(), sh = ClBtnShadow();
  struct Row {
    const char* name;
    TToggleButtonFace face;
    QColor topLeft, bottomRight;
  } rows[] = {
      {"plain", Face(false, false, false), kBg, kBg},
      {"hot: raised", Face(true, false, false), hi, sh},
      {"pressed: sunken", Face(true, true, false), sh, hi},
      {"down under the pointer: sunken covers raised", Face(true, false, true), sh, hi},
      {"down", Face(false, false, true), sh, hi},
      {"disabled: no bevel", Face(true, true, true, false), kBg, kBg},
  };
  for (const Row& row : rows) {
    const QImage image = Paint(row.face);
    EXPECT_EQ(image.pixelColor(0, 10), row.topLeft) << row.name;
    EXPECT_EQ(image.pixelColor(42, 10), row.bottomRight) << row.name;
    EXPECT_EQ(image.pixelColor(43, 10), kBg) << row.name << ": the last column is left to the neighbour";
    EXPECT_EQ(image.pixelColor(20, 20), kBg) << row.name << ": and the last row";
  }
}

TEST(ToggleButtonFace, TheFocusMarkIsEveryOtherPixelInsideTheBevelAndNothingElseChanges) {
  for (const bool down : {false, true}) {
    TToggleButtonFace face = Face(false, false, down);
    face.Caption = QStringLiteral("三 月");
    const QImage plain = Paint(face);
    face.Focused = true;
    const QImage marked = Paint(face);
    const QRect mark = TToggleButtonFace::FocusRect(QSize(44, 21), TBevelLooks::bk97);
    EXPECT_EQ(mark, QRect(QPoint(2, 2), QPoint(40, 17)));
    for (int y = 0; y < 21; ++y) {
      for (int x = 0; x < 44; ++x) {
        const bool onOutline = mark.contains(x, y) && !mark.adjusted(1, 1, -1, -1).contains(x, y);
        const bool dot = onOutline && (x - 2 + y - 2) % 2 == 0;
        if (dot) {
          EXPECT_EQ(marked.pixelColor(x, y), face.FontColor) << x << "," << y;
        } else {
          EXPECT_EQ(marked.pixelColor(x, y), plain.pixelColor(x, y)) << x << "," << y;
        }
      }
    }
  }
  EXPECT_EQ(TToggleButtonFace::FocusRect(QSize(44, 21), TBevelLooks::bkDeep), QRect(QPoint(4, 4), QPoint(38, 15)));
}


}  // namespace
}  // namespace kadrel
