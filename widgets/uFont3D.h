// Three-dimensional caption text: the text plus offset copies in a highlight,
// shadow or repetition colour.
//
// Text3DCopies works out where each copy goes and in which colour, without
// drawing, so the offsets can be checked exactly; DrawText3D draws that plan.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

class QPainter;

namespace kadrel {

enum class TStyle3D { fontRaised, fontInset, fontOnlyShadow, fontOnlyHighlight, fontOutLineShadow };
enum class TRepetition { repeatOnShadow, repeatOnHighLight, repeatNone };

// Caption style of a control. An invalid QColor in Highlight or Shadow stands
// for the system button-highlight or button-shadow colour, looked up when the
// text is drawn so that a palette change reaches every caption.
struct TFont3D {
  bool ThreeDimensional = true;
  TStyle3D Style3D = TStyle3D::fontOnlyHighlight;
  std::uint8_t Offset = 1;
  QColor Highlight;
  QColor Shadow;
  TRepetition Repetition = TRepetition::repeatNone;
  QColor RepetitionColor = QColor(0, 0, 0);
  std::uint8_t Repetitionwidth = 0;
  bool MaskFont = true;  // kept for callers; drawing ignores it

  bool operator==(const TFont3D&) const = default;
};

// One drawing of the text: the rectangle it is laid out in and its colour.
struct TTextCopy {
  QRect Rect;
  QColor Color;
  bool operator==(const TTextCopy&) const = default;
};

// The copies DrawText3D draws for `rect`, in drawing order; the last one is
// the text itself.
std::vector<TTextCopy> Text3DCopies(const TFont3D& style, bool enabled, const QRect& rect,
                                    const QColor& fontColor);

enum class TEllipsis { None, End };

// Draws `text` on one line, vertically centred and horizontally aligned by
// `align`, with tabs expanded and "&x" shown as an underlined x. Text is
// never clipped to `rect` and its background is left alone. With
// TEllipsis::End a text wider than `rect` is cut with "…".
void DrawText3D(const TFont3D& style, QPainter& painter, const QFont& font, const QColor& fontColor,
                bool enabled, Qt::Alignment align, const QString& text, const QRect& rect,
                TEllipsis ellipsis = TEllipsis::None);

}  // namespace kadrel
