// Three-dimensional caption text: where each copy lands and in which colour,
// then that DrawText3D really draws that plan.
#include "widgets/uFont3D.h"
#include "widgets/uFonts.h"
#include "widgets/uSysColors.h"
#include "widget_test_util.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace kadrel {

void PrintTo(const TTextCopy& copy, std::ostream* os) {
  ::PrintTo(copy.Rect, os);
  *os << " in ";
  ::PrintTo(copy.Color, os);
}

namespace {

const QRect kRect(10, 10, 60, 20);
const QColor kText(0, 0, 0), kHi(255, 0, 0), kSh(0, 0, 255), kRep(0, 160, 0);

TFont3D Styled() {
  TFont3D style;
  style.Highlight = kHi;
  style.Shadow = kSh;
  style.RepetitionColor = kRep;
  return style;
}

// A copy at (dx, dy) from `base`, as the plans are written below.
TTextCopy At(QRect base, int dx, int dy, const QColor& color) { return {base.translated(dx, dy), color}; }

struct PlanCase {
  const char* name;
  TFont3D style;
  std::vector<TTextCopy> expected;
};

void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }

class Text3DPlan : public testing::TestWithParam<PlanCase> {};

TEST_P(Text3DPlan, CopiesInDrawingOrder) {
  const PlanCase& c = GetParam();
  EXPECT_EQ(Text3DCopies(c.style, true, kRect, kText), c.expected);
}

PlanCase Case(const char* name, void (*edit)(TFont3D&), std::vector<TTextCopy> expected) {
  TFont3D style = Styled();
  edit(style);
  return {name, style, std::move(expected)};
}

const QRect kShrunk3 = kRect.adjusted(3, 3, -3, -3);
const QRect kShrunk2 = kRect.adjusted(2, 2, -2, -2);

INSTANTIATE_TEST_SUITE_P(
    Font3D, Text3DPlan,
    testing::Values(
        Case("Default", [](TFont3D&) {}, {At(kRect, -1, -1, kHi), At(kRect, 0, 0, kText)}),
        Case("Flat", [](TFont3D& s) { s.ThreeDimensional = false; }, {At(kRect, 0, 0, kText)}),
        Case("StartButton",
             [](TFont3D& s) { s.Repetition = TRepetition::repeatOnShadow; },
             {At(kRect, 0, 0, kHi), At(kRect, 1, 1, kText)}),
        Case("RepeatOnShadowWidth3",
             [](TFont3D& s) {
               s.Repetition = TRepetition::repeatOnShadow;
               s.Repetitionwidth = 3;
             },
             {At(kShrunk3, 1, 1, kRep), At(kShrunk3, 0, 0, kRep), At(kShrunk3, -1, -1, kRep),
              At(kShrunk3, -3, -3, kHi), At(kShrunk3, -2, -2, kText)}),
        Case("RepeatOnHighlightWidth2",
             [](TFont3D& s) {
               s.Repetition = TRepetition::repeatOnHighLight;
               s.Repetitionwidth = 2;
             },
             {At(kShrunk2, -1, -1, kRep), At(kShrunk2, 0, 0, kRep), At(kShrunk2, 0, 0, kHi),
              At(kShrunk2, 1, 1, kText)}),
        Case("RaisedOffset2",
             [](TFont3D& s) {
               s.Style3D = TStyle3D::fontRaised;
               s.Offset = 2;
             },
             {At(kRect, -2, -2, kHi), At(kRect, 2, 2, kSh), At(kRect, 0, 0, kText)}),
        Case("Inset", [](TFont3D& s) { s.Style3D = TStyle3D::fontInset; },
             {At(kRect, -1, -1, kSh), At(kRect, 1, 1, kHi), At(kRect, 0, 0, kText)}),
        Case("OnlyShadow", [](TFont3D& s) { s.Style3D = TStyle3D::fontOnlyShadow; },
             {At(kRect, 1, 1, kSh), At(kRect, 0, 0, kText)}),
        Case("OutlineIgnoresOffset",
             [](TFont3D& s) {
               s.Style3D = TStyle3D::fontOutLineShadow;
               s.Offset = 3;
             },
             {At(kRect, -1, -1, kSh), At(kRect, 1, -1, kSh), At(kRect, 1, 1, kSh), At(kRect, -1, 1, kSh),
              At(kRect, 0, 0, kText)})),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Font3D, DisabledDrawsTwoCopiesWhateverTheStyle) {
  TFont3D style = Styled();
  style.Style3D = TStyle3D::fontOutLineShadow;
  style.Repetition = TRepetition::repeatOnShadow;
  style.Repetitionwidth = 4;
  const std::vector<TTextCopy> expected = {At(kRect, 0, 0, ClBtnHighlight()), At(kRect, -1, -1, ClGrayText())};
  EXPECT_EQ(Text3DCopies(style, false, kRect, kText), expected);
  EXPECT_EQ(Text3DCopies(TFont3D{}, false, kRect, kText), expected);
}

TEST(Font3D, SystemColoursStandInForUnsetOnes) {
  const auto copies = Text3DCopies(TFont3D{}, true, kRect, kText);
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0].Color, ClBtnHighlight());
}

QFont Crisp() {
  QFont font = KadrelFont(16);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

TEST(DrawText3D, DrawsThePlanInItsColours) {
  QImage image = test::Canvas(80, 40, QColor(255, 255, 255));
  QPainter p(&image);
  DrawText3D(Styled(), p, Crisp(), kText, true, Qt::AlignHCenter, QStringLiteral("中"), QRect(0, 0, 80, 40));
  p.end();
  const QRect text = test::BoxOf(image, kText);
  ASSERT_FALSE(text.isEmpty());
  QRect all;
  for (const QColor& c : {kText, kHi}) all |= test::BoxOf(image, c);
  EXPECT_EQ(all.topLeft(), text.topLeft() - QPoint(1, 1)) << "highlight one pixel up and left";
  EXPECT_EQ(all.bottomRight(), text.bottomRight());
}

TEST(DrawText3D, EllipsisKeepsLongTextInsideItsRectangle) {
  const QString longText = QStringLiteral("一二三四五六七八九十");
  TFont3D flat;
  flat.ThreeDimensional = false;
  for (TEllipsis mode : {TEllipsis::None, TEllipsis::End}) {
    QImage image = test::Canvas(200, 30, QColor(255, 255, 255));
    QPainter p(&image);
    DrawText3D(flat, p, Crisp(), kText, true, Qt::AlignLeft, longText, QRect(0, 0, 60, 30), mode);
    p.end();
    const int right = test::BoxOf(image, kText).right();
    if (mode == TEllipsis::End) {
      EXPECT_LT(right, 60) << "cut with an ellipsis";
    } else {
      EXPECT_GT(right, 100) << "never clipped to the rectangle";
    }
  }
}

}  // namespace
}  // namespace kadrel
