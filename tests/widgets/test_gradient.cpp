// The gradient panel, painted to the pixel: band colours, band edges, the
// two frames, and the background's repainting when its settings change.
#include "widgets/uGradientPanel.h"
#include "widgets/uSysColors.h"
#include "widget_test_util.h"

#include <QPainter>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace kadrel {
namespace {

using test::At;
using test::Canvas;

const QColor kDeep(0, 52, 224);
const QColor kDeepRaised(1, 52, 224);
const QColor kLight(80, 154, 245);
const QColor kFirstFill(12, 34, 56);

QImage PaintGradient(const TGradientFill& fill, int w, int h, bool forward = true) {
  QImage image = Canvas(w, h);
  QPainter p(&image);
  fill.FillGradient(p, w, h, forward, kFirstFill);
  return image;
}

TEST(ColorText, ReadsBlueGreenRedHex) {
  EXPECT_EQ(ColorFromText(u"$00F59A50"), QColor(80, 154, 245));
  EXPECT_EQ(ColorFromText(u"$00e03400"), QColor(0, 52, 224));
  EXPECT_EQ(ColorToText(QColor(80, 154, 245)), QStringLiteral("$00F59A50"));
}

TEST(ColorText, RefusesMalformedText) {
  for (const char16_t* bad : {u"", u"00F59A50", u"$00F59A5", u"$00F59A5G", u"$00F59A500",
                              u"$80000010", u"$ 0F59A50", u"$+0F59A50"}) {
    EXPECT_FALSE(ColorFromText(bad).has_value()) << QString::fromUtf16(bad).toStdString();
  }
}

TEST(GradientFill, StepColoursRunFromEntryToExactlyTheNextEntry) {
  const TGradientFill fill = KadrelPanelGradient();
  EXPECT_EQ(fill.StepColor(kDeep, kLight, 0), kDeepRaised) << "a zero channel is raised to 1";
  EXPECT_EQ(fill.StepColor(kDeep, kLight, 31), kLight);
  EXPECT_EQ(fill.StepColor(kDeep, kLight, 30), QColor(77, 151, 244));
  EXPECT_EQ(fill.StepColor(kLight, kDeep, 1), QColor(77, 151, 244));
  EXPECT_EQ(fill.StepColor(kLight, kDeep, 31), kDeepRaised);

  TGradientFill single = fill;
  single.ColorCount = 1;
  EXPECT_EQ(single.StepColor(kLight, kDeep, 0), kLight);
}

TEST(GradientFill, SquareMiddleRingsOfTheMainWindow) {
  // 698 × 442, two segments: Hs 221, Ws 349, halves rounded to even.
  EXPECT_EQ(TGradientFill::SquareMiddleRect(698, 442, 2, 0, 0, 32), QRect(0, 0, 698, 442));
  EXPECT_EQ(TGradientFill::SquareMiddleRect(698, 442, 2, 0, 31, 32), QRect(169, 107, 360, 228));
  EXPECT_EQ(TGradientFill::SquareMiddleRect(698, 442, 2, 1, 0, 32), QRect(174, 110, 350, 222));
  EXPECT_EQ(TGradientFill::SquareMiddleRect(698, 442, 2, 1, 31, 32), QRect(343, 217, 12, 8));
}

TEST(GradientFill, MainWindowPanelPixels) {
  const QImage image = PaintGradient(KadrelPanelGradient(), 698, 442);
  const int midY = 221, midX = 349;
  EXPECT_EQ(At(image, 0, 0), kDeepRaised) << "the first band covers the first fill completely";
  EXPECT_EQ(At(image, 697, 441), kDeepRaised);
  // Along the middle row: step 30 of the first segment ends at x 168, step 31 begins at 169.
  EXPECT_EQ(At(image, 163, midY), QColor(77, 151, 244));
  EXPECT_EQ(At(image, 168, midY), QColor(77, 151, 244));
  EXPECT_EQ(At(image, 169, midY), kLight);
  EXPECT_EQ(At(image, 178, midY), kLight) << "the second segment starts with the same colour at 174";
  EXPECT_EQ(At(image, 179, midY), QColor(77, 151, 244));
  // Along the middle column, the same edges at 106/107 and 110.
  EXPECT_EQ(At(image, midX, 106), QColor(77, 151, 244));
  EXPECT_EQ(At(image, midX, 107), kLight);
  EXPECT_EQ(At(image, midX, 110), kLight);
  EXPECT_EQ(At(image, midX, midY), kDeepRaised) << "deep blue again at the centre";
}

TEST(GradientFill, BackwardListStartsFromTheEndColour) {
  const QImage image = PaintGradient(KadrelTitleButtonGradient(), 200, 100, false);
  EXPECT_EQ(At(image, 0, 0), QColor(104, 152, 255));
  EXPECT_EQ(At(image, 100, 50), kDeepRaised);
}

TEST(GradientFill, DegenerateSizesPaintNothing) {
  QImage image = Canvas(4, 4);
  QPainter p(&image);
  KadrelPanelGradient().FillGradient(p, 0, 4, true, Qt::red);
  KadrelPanelGradient().FillGradient(p, 4, -1, true, Qt::red);
  p.end();
  EXPECT_EQ(At(image, 0, 0), QColor(255, 0, 255));
}

TEST(GradientFill, EveryStyleCoversThePicture) {
  // No style may leave the first fill showing: every shape starts from the
  // first colour laid over the whole picture.
  for (int s = 0; s <= int(TFillStyle::HorizontalDoppelBar); ++s) {
    TGradientFill fill = KadrelPanelGradient();
    fill.FillStyle = TFillStyle(s);
    const QImage image = PaintGradient(fill, 60, 40);
    EXPECT_EQ(test::BoxOf(image, kFirstFill), QRect()) << "style " << s;
    EXPECT_EQ(test::BoxOf(image, QColor(255, 0, 255)), QRect()) << "style " << s;
  }
}

struct FrameCase {
  const char* name;
  TFrameStyle style;
  QColor left, top, right, bottom;  // outermost outline, mid-edge pixels
  QRect after;
};
void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class FrameStyles : public testing::TestWithParam<FrameCase> {};

const QColor kHi(255, 255, 255), kSh(128, 128, 128), kSolid(0, 0, 0), kBg(255, 0, 255);

TEST_P(FrameStyles, OutermostOutline) {
  const FrameCase& c = GetParam();
  QImage image = Canvas(10, 8, kBg);
  QPainter p(&image);
  TPanelFrame frame;
  frame.FrameStyle = c.style;
  frame.Highlight = kHi;
  frame.Shadow = kSh;
  frame.Solid = kSolid;
  QRect rect(0, 0, 10, 8);
  frame.DrawFrame(p, rect);
  p.end();
  EXPECT_EQ(At(image, 0, 4), c.left);
  EXPECT_EQ(At(image, 5, 0), c.top);
  EXPECT_EQ(At(image, 9, 4), c.right);
  EXPECT_EQ(At(image, 5, 7), c.bottom);
  EXPECT_EQ(rect, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    PanelFrame, FrameStyles,
    testing::Values(FrameCase{"solid", TFrameStyle::frameSolid, kSolid, kSolid, kSolid, kSolid, {1, 1, 8, 6}},
                    FrameCase{"raised", TFrameStyle::frameRaised, kHi, kHi, kSh, kSh, {1, 1, 8, 6}},
                    FrameCase{"lowered", TFrameStyle::frameLowered, kSh, kSh, kHi, kHi, {1, 1, 8, 6}},
                    FrameCase{"none", TFrameStyle::frameNone, kBg, kBg, kBg, kBg, {0, 0, 10, 8}},
                    FrameCase{"framedUp", TFrameStyle::frameFramedUp, kHi, kHi, kSh, kSh, {2, 2, 6, 4}},
                    FrameCase{"panelDown", TFrameStyle::framePanelDown, kSh, kSh, kBg, kBg, {2, 2, 6, 4}},
                    FrameCase{"lightBordered", TFrameStyle::frameLightBordered, kBg, kBg, kSh, kSh,
                              {2, 2, 6, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PanelFrame, CornersBelongToTheEdgeDrawnLast) {
  QImage image = Canvas(10, 8, kBg);
  QPainter p(&image);
  TPanelFrame frame;
  frame.Highlight = kHi;
  frame.Shadow = kSh;
  QRect rect(0, 0, 10, 8);
  frame.DrawFrame(p, rect);
  p.end();
  EXPECT_EQ(At(image, 0, 0), kHi);
  EXPECT_EQ(At(image, 9, 0), kSh) << "top-right belongs to the right edge";
  EXPECT_EQ(At(image, 0, 7), kSh) << "bottom-left is drawn over by the bottom edge";
  EXPECT_EQ(At(image, 9, 7), kSh);
  EXPECT_EQ(At(image, 1, 1), kBg);
}

TEST(PanelFrame, OnlyNamedEdgesAreDrawnButTheRectangleShrinksOnAllSides) {
  QImage image = Canvas(10, 8, kBg);
  QPainter p(&image);
  TPanelFrame frame;
  frame.Highlight = kHi;
  frame.Shadow = kSh;
  frame.Edges = EdgeLeft | EdgeBottom;
  frame.FrameWidth = 2;
  QRect rect(0, 0, 10, 8);
  frame.DrawFrame(p, rect);
  p.end();
  EXPECT_EQ(At(image, 0, 4), kHi);
  EXPECT_EQ(At(image, 1, 4), kHi) << "a width of 2 draws two outlines";
  EXPECT_EQ(At(image, 5, 0), kBg);
  EXPECT_EQ(At(image, 9, 4), kBg);
  EXPECT_EQ(At(image, 5, 7), kSh);
  EXPECT_EQ(At(image, 5, 6), kSh);
  EXPECT_EQ(rect, QRect(2, 2, 6, 4));
}

TEST(PanelLook, MainWindowPanelEdges) {
  TPanelBackground background;
  background.SetGradient(KadrelPanelGradient());
  TPanelLook look;
  look.Background = &background;
  look.FrameOuter = KadrelOuterFrame();
  look.FrameInner = KadrelInnerFrame();
  QImage image = Canvas(698, 442);
  QPainter p(&image);
  look.paint(&p, image.rect());
  p.end();
  const QColor inner(130, 136, 255);
  for (int x : {0, 1}) EXPECT_EQ(At(image, x, 221), kDeep) << "outer frame at x " << x;
  for (int x : {2, 3}) EXPECT_EQ(At(image, x, 221), inner) << "inner frame at x " << x;
  EXPECT_EQ(At(image, 4, 221), kDeepRaised) << "gradient inside the frames";
  EXPECT_EQ(At(image, 349, 3), inner);
  EXPECT_EQ(At(image, 697, 221), kDeep);
  EXPECT_EQ(At(image, 349, 441), kDeep);
  EXPECT_EQ(At(image, 169, 221), kLight);
  EXPECT_EQ(look.ClientInset(), 2) << "children sit 2 pixels in, one per frame";
}

TEST(PanelLook, PaintsAtTheGivenRectangle) {
  TPanelBackground background;
  background.SetGradient(KadrelPanelGradient());
  TPanelLook look;
  look.Background = &background;
  look.FrameOuter.FrameStyle = TFrameStyle::frameNone;
  look.FrameInner.FrameStyle = TFrameStyle::frameNone;
  QImage image = Canvas(100, 60);
  QPainter p(&image);
  look.paint(&p, QRect(10, 20, 80, 40));
  p.end();
  EXPECT_EQ(At(image, 9, 30), QColor(255, 0, 255));
  EXPECT_EQ(At(image, 10, 20), kDeepRaised);
  EXPECT_EQ(look.ClientInset(), 0);
}

TEST(PanelBackground, ChangesRepaintUsersAndRenewThePicture) {
  TPanelBackground background;
  background.SetGradient(KadrelPanelGradient());
  QSignalSpy changed(&background, &TPanelBackground::Changed);

  QImage before = Canvas(200, 100);
  {
    QPainter p(&before);
    background.PaintBackground(p, 200, 100, true);
  }
  ASSERT_EQ(At(before, 0, 0), kDeepRaised);

  background.SetGradient(KadrelPanelGradient());
  EXPECT_EQ(changed.count(), 0) << "an unchanged setting repaints nothing";

  TGradientFill green = KadrelPanelGradient();
  green.BeginColor = QColor(0, 200, 0);
  background.SetGradient(green);
  EXPECT_EQ(changed.count(), 1);

  QImage after = Canvas(200, 100);
  {
    QPainter p(&after);
    background.PaintBackground(p, 200, 100, true);
  }
  EXPECT_EQ(At(after, 0, 0), QColor(1, 200, 1)) << "a stale picture would still show blue";

  background.SetBackgroundStyle(TBackgroundStyle::bSolidcolor);
  background.SetSolidColor(QColor(9, 9, 9));
  EXPECT_EQ(changed.count(), 3);
  {
    QPainter p(&after);
    background.PaintBackground(p, 200, 100, true);
  }
  EXPECT_EQ(At(after, 199, 99), QColor(9, 9, 9));
}

TEST(GradientPanel, ForgetsADestroyedBackground) {
  TGradientPanel panel;
  panel.resize(50, 40);
  auto background = std::make_unique<TPanelBackground>();
  panel.SetBackground(background.get());
  EXPECT_EQ(panel.Background(), background.get());
  background.reset();
  EXPECT_EQ(panel.Background(), nullptr);
  const QImage shot = panel.grab().toImage();  // must not touch the freed background
  EXPECT_EQ(shot.size(), QSize(50, 40));
}

TEST(GradientPanel, ChildrenAreLaidOutInsideBorderAndFrames) {
  TGradientPanel panel;
  panel.SetFrameOuter(KadrelOuterFrame());
  panel.SetFrameInner(KadrelInnerFrame());
  EXPECT_EQ(panel.contentsMargins(), QMargins(2, 2, 2, 2));
  panel.SetBorderwidth(3);
  EXPECT_EQ(panel.contentsMargins(), QMargins(5, 5, 5, 5));
  TPanelFrame none;
  none.FrameStyle = TFrameStyle::frameNone;
  none.FrameWidth = 4;
  panel.SetFrameInner(none);
  EXPECT_EQ(panel.contentsMargins(), QMargins(4, 4, 4, 4));
}

}  // namespace
}  // namespace kadrel
