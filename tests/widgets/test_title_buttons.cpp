// The round close button and the arrow button: their shapes, which clicks
// count, and what their faces leave of the parent.
#include "widgets/uGradientPanel.h"
#include "widgets/uSysColors.h"
#include "widgets/uTitleButtons.h"
#include "widget_test_util.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace kadrel {
namespace {

const QColor kParent(255, 0, 255);

TEST(RoundShape, DiscOfA23PixelButton) {
  const TRoundShape shape{QSize(23, 23)};
  struct Row {
    QPoint at;
    bool inside;
  } rows[] = {
      {{11, 11}, true},  {{11, 1}, true},   {{11, 0}, false},  {{21, 11}, true},  {{22, 11}, false},
      {{18, 18}, true},  {{19, 19}, false}, {{4, 4}, true},    {{3, 4}, false},   {{0, 0}, false},
      {{22, 22}, false}, {{1, 21}, false},  {{-1, 11}, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(shape.Contains(row.at), row.inside) << "(" << row.at.x() << ", " << row.at.y() << ")";
  }
  EXPECT_EQ(shape.UpperSplit(), QPoint(16, 4));
  EXPECT_EQ(shape.LowerSplit(), QPoint(4, 16));
}

TEST(RoundShape, TinyButtonsHaveNoDisc) {
  EXPECT_FALSE(TRoundShape{QSize(1, 1)}.Contains({0, 0}));
  EXPECT_FALSE(TRoundShape{QSize(0, 0)}.Contains({0, 0}));
  EXPECT_TRUE(TRoundShape{QSize(3, 3)}.Contains({1, 1}));
}

class RoundButtonClicks : public testing::Test {
 protected:
  void SetUp() override {
    parent_.resize(60, 60);
    button_ = new TRoundButton(&parent_);
    button_->setGeometry(10, 10, 23, 23);
    parent_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent_));
  }
  QWidget parent_;
  TRoundButton* button_ = nullptr;
};

TEST_F(RoundButtonClicks, ClickOnTheDiscFires) {
  QSignalSpy clicked(button_, &TRoundButton::clicked);
  QTest::mouseClick(button_, Qt::LeftButton, {}, QPoint(11, 11));
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_FALSE(button_->Pressed());
}

TEST_F(RoundButtonClicks, ClickInACornerOfTheSquareFiresNothing) {
  QSignalSpy clicked(button_, &TRoundButton::clicked);
  QTest::mousePress(button_, Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_FALSE(button_->Pressed());
  QTest::mouseRelease(button_, Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_EQ(clicked.count(), 0);
}

TEST_F(RoundButtonClicks, LeavingTheDiscBeforeReleaseFiresNothing) {
  QSignalSpy clicked(button_, &TRoundButton::clicked);
  QTest::mousePress(button_, Qt::LeftButton, {}, QPoint(11, 11));
  EXPECT_TRUE(button_->Pressed());
  QTest::mouseMove(button_, QPoint(40, 40));
  EXPECT_FALSE(button_->Pressed()) << "the ring is raised again outside";
  QTest::mouseRelease(button_, Qt::LeftButton, {}, QPoint(40, 40));
  EXPECT_EQ(clicked.count(), 0);
  EXPECT_FALSE(button_->Pressed());
}

TEST_F(RoundButtonClicks, ReleaseOutsideWithoutAMoveStillRaisesTheRing) {
  QTest::mousePress(button_, Qt::LeftButton, {}, QPoint(11, 11));
  QTest::mouseRelease(button_, Qt::LeftButton, {}, QPoint(0, 22));
  EXPECT_FALSE(button_->Pressed());
}

TEST_F(RoundButtonClicks, PressInTheCornerThenReleaseOnTheDiscFires) {
  QSignalSpy clicked(button_, &TRoundButton::clicked);
  QTest::mousePress(button_, Qt::LeftButton, {}, QPoint(0, 0));
  QTest::mouseMove(button_, QPoint(11, 11));
  EXPECT_TRUE(button_->Pressed()) << "tracking presses it on entering the disc";
  QTest::mouseRelease(button_, Qt::LeftButton, {}, QPoint(11, 11));
  EXPECT_EQ(clicked.count(), 1);
}

TEST_F(RoundButtonClicks, DisabledButtonFiresNothing) {
  button_->setEnabled(false);
  QSignalSpy clicked(button_, &TRoundButton::clicked);
  QTest::mouseClick(button_, Qt::LeftButton, {}, QPoint(11, 11));
  EXPECT_EQ(clicked.count(), 0);
}

TEST(RoundButtonFace, DiscShowsTheGradientAndCornersShowTheParent) {
  TPanelBackground background;
  background.SetGradient(KadrelTitleButtonGradient());
  QImage up = test::Canvas(23, 23, kParent), down = up;
  {
    QPainter p(&up);
    TRoundButtonFace{&background, false, {}}.paint(&p, up.rect());
  }
  {
    QPainter p(&down);
    TRoundButtonFace{&background, true, {}}.paint(&p, down.rect());
  }
  EXPECT_EQ(up.pixelColor(0, 0), kParent);
  EXPECT_EQ(up.pixelColor(22, 22), kParent);
  // The innermost rings of a 23-pixel square are too small to draw, so the
  // centre keeps step 29 of the last segment.
  EXPECT_EQ(up.pixelColor(11, 11), QColor(99, 144, 255)) << "centre of the gradient";
  EXPECT_LT(up.pixelColor(11, 0).lightness(), 60) << "black outline at the top";
  // Upper-left ring pixel: lit while up, dark while pressed.
  EXPECT_GT(up.pixelColor(4, 4).lightness(), down.pixelColor(4, 4).lightness());
  EXPECT_LT(up.pixelColor(18, 18).lightness(), down.pixelColor(18, 18).lightness());
}

// Crisp edges: every pixel of a face is the parent's, the gradient's at that
// place, or exactly one of the edge colours; an antialiased edge would
// leave blends of them.
int BlendedPixels(const QImage& face, const std::vector<QColor>& edges) {
  TPanelBackground background;
  background.SetGradient(KadrelTitleButtonGradient());
  QImage gradient(face.size(), QImage::Format_RGB32);
  {
    QPainter p(&gradient);
    background.PaintBackground(p, face.width(), face.height(), true);
  }
  int blended = 0;
  for (int y = 0; y < face.height(); ++y) {
    for (int x = 0; x < face.width(); ++x) {
      const QColor c = face.pixelColor(x, y);
      if (c == kParent || c == gradient.pixelColor(x, y)) continue;
      blended += std::find(edges.begin(), edges.end(), c) == edges.end();
    }
  }
  return blended;
}

TEST(TitleButtonFaces, EdgesAreWholePixels) {
  TPanelBackground background;
  background.SetGradient(KadrelTitleButtonGradient());
  const std::vector<QColor> edges = {QColor(0, 0, 0), ClBtnHighlight(), ClBtnShadow()};
  for (const bool pressed : {false, true}) {
    QImage round = test::Canvas(23, 23, kParent), arrow = test::Canvas(23, 20, kParent);
    {
      QPainter p(&round);
      TRoundButtonFace{&background, pressed, {}}.paint(&p, round.rect());
    }
    {
      QPainter p(&arrow);
      TArrowButtonFace{&background, TArrowDirection::dDown, 1, pressed, {}}.paint(&p, arrow.rect());
    }
    EXPECT_EQ(BlendedPixels(round, edges), 0) << "round, pressed " << pressed;
    EXPECT_EQ(BlendedPixels(arrow, edges), 0) << "arrow, pressed " << pressed;
  }
}

struct ArrowCase {
  const char* name;
  TArrowDirection direction;
  std::array<QPoint, 3> corners;
};

TEST(ArrowShape, CornersByDirection) {
  const QSize size(23, 20);
  const ArrowCase rows[] = {
      {"up", TArrowDirection::dUp, {QPoint(11, 2), QPoint(21, 18), QPoint(2, 18)}},
      {"right", TArrowDirection::dRight, {QPoint(2, 2), QPoint(21, 10), QPoint(2, 18)}},
      {"down", TArrowDirection::dDown, {QPoint(21, 2), QPoint(11, 18), QPoint(2, 2)}},
      {"left", TArrowDirection::dLeft, {QPoint(21, 2), QPoint(21, 18), QPoint(2, 10)}},
  };
  for (const ArrowCase& row : rows) {
    EXPECT_EQ((TArrowShape{size, row.direction}.Corners()), row.corners) << row.name;
  }
}

TEST(ArrowShape, DownArrowHitTest) {
  const TArrowShape shape{QSize(23, 20), TArrowDirection::dDown};
  EXPECT_TRUE(shape.Contains({11, 8}));
  EXPECT_TRUE(shape.Contains({11, 3}));
  EXPECT_FALSE(shape.Contains({0, 0}));
  EXPECT_FALSE(shape.Contains({1, 18}));
  EXPECT_FALSE(shape.Contains({22, 19}));
  EXPECT_FALSE(shape.Contains({4, 16})) << "beside the tip";
}

class ArrowButtonClicks : public testing::Test {
 protected:
  void SetUp() override {
    parent_.resize(60, 60);
    button_ = new TArrowButton(&parent_);
    button_->setGeometry(10, 10, 23, 20);
    button_->SetButtonType(TArrowDirection::dDown);
    parent_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent_));
  }
  QWidget parent_;
  TArrowButton* button_ = nullptr;
};

TEST_F(ArrowButtonClicks, ClickInTheTriangleFires) {
  QSignalSpy clicked(button_, &TArrowButton::clicked);
  QTest::mousePress(button_, Qt::LeftButton, {}, QPoint(11, 6));
  EXPECT_TRUE(button_->Pressed());
  QTest::mouseRelease(button_, Qt::LeftButton, {}, QPoint(20, 18));
  EXPECT_EQ(clicked.count(), 1) << "the release only has to be inside the control";
  EXPECT_FALSE(button_->Pressed());
}

TEST_F(ArrowButtonClicks, PressOutsideTheTriangleDoesNothingAtAll) {
  QSignalSpy clicked(button_, &TArrowButton::clicked);
  QTest::mousePress(button_, Qt::LeftButton, {}, QPoint(1, 18));
  EXPECT_FALSE(button_->Pressed());
  QTest::mouseRelease(button_, Qt::LeftButton, {}, QPoint(11, 6));
  EXPECT_EQ(clicked.count(), 0);
}

TEST_F(ArrowButtonClicks, ReleaseOutsideTheControlOrAnotherButtonFiresNothing) {
  QSignalSpy clicked(button_, &TArrowButton::clicked);
  QTest::mousePress(button_, Qt::LeftButton, {}, QPoint(11, 6));
  QTest::mouseRelease(button_, Qt::LeftButton, {}, QPoint(30, 30));
  EXPECT_FALSE(button_->Pressed());
  QTest::mouseClick(button_, Qt::RightButton, {}, QPoint(11, 6));
  EXPECT_EQ(clicked.count(), 0);
}

TEST(ArrowButtonFace, TriangleShowsTheGradientAndTheRestIsLeftAlone) {
  TPanelBackground background;
  background.SetGradient(KadrelTitleButtonGradient());
  QImage image = test::Canvas(23, 20, kParent);
  QImage plain = image;
  {
    QPainter p(&image);
    TArrowButtonFace{&background, TArrowDirection::dDown, 1, false, {}}.paint(&p, image.rect());
  }
  {
    QPainter p(&plain);
    TArrowButtonFace{nullptr, TArrowDirection::dDown, 1, false, {}}.paint(&p, plain.rect());
  }
  EXPECT_EQ(image.pixelColor(0, 19), kParent);
  EXPECT_EQ(image.pixelColor(22, 0), kParent);
  const QColor centre = image.pixelColor(11, 8);
  EXPECT_EQ(centre.blue(), 255) << "gradient blue inside the triangle";
  EXPECT_NE(centre, kParent);
  EXPECT_EQ(plain.pixelColor(11, 8), QColor(255, 255, 255)) << "white without a background";
  EXPECT_EQ(image.pixelColor(22, 4), QColor(0, 0, 0)) << "drop shadow two pixels right and down";
}

}  // namespace
}  // namespace kadrel
