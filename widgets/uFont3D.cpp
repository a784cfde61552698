#include "widgets/uFont3D.h"

#include "widgets/uSysColors.h"

#include <QFontMetrics>
#include <QPainter>

namespace kadrel {

namespace {

// The text's place moves while the copies are laid down; `at` is that
// place, and each Draw records one copy there.
class TCopyPlan {
 public:
  explicit TCopyPlan(const QRect& rect) : at_(rect) {}
  void Move(int dx, int dy) { at_.translate(dx, dy); }
  void Draw(const QColor& color) { copies_.push_back({at_, color}); }
  void Shrink(int by) { at_.adjust(by, by, -by, -by); }
  std::vector<TTextCopy> Take() { return std::move(copies_); }

 private:
  QRect at_;
  std::vector<TTextCopy> copies_;
};

QColor OrSystem(const QColor& color, QColor (*system)()) {
  return color.isValid() ? color : system();
}

void PlanRepetition(const TFont3D& style, TCopyPlan& plan) {
  if (style.Repetition == TRepetition::repeatNone) return;
  const int offset = style.Offset;
  const int step = style.Repetition == TRepetition::repeatOnHighLight ? 1 : -1;
  plan.Shrink(style.Repetitionwidth);
  plan.Move(-step * offset, -step * offset);
  for (int n = 0; n < style.Repetitionwidth; ++n) {
    plan.Draw(style.RepetitionColor);
    plan.Move(step, step);
  }
}

void PlanStyle(const TFont3D& style, TCopyPlan& plan) {
  const QColor highlight = OrSystem(style.Highlight, ClBtnHighlight);
  const QColor shadow = OrSystem(style.Shadow, ClBtnShadow);
  if (style.Style3D == TStyle3D::fontOutLineShadow) {
    // Always one pixel diagonally, whatever the offset.
    static constexpr QPoint kCorners[] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (QPoint corner : kCorners) {
      plan.Move(corner.x(), corner.y());
      plan.Draw(shadow);
      plan.Move(-corner.x(), -corner.y());
    }
    return;
  }
  const TStyle3D s = style.Style3D;
  const QColor first = (s == TStyle3D::fontInset || s == TStyle3D::fontOnlyShadow) ? shadow : highlight;
  const QColor second = (s == TStyle3D::fontInset || s == TStyle3D::fontOnlyHighlight) ? highlight : shadow;
  const int offset = style.Offset;
  plan.Move(-offset, -offset);
  if (s != TStyle3D::fontOnlyShadow) plan.Draw(first);
  plan.Move(2 * offset, 2 * offset);
  if (s != TStyle3D::fontOnlyHighlight) plan.Draw(second);
  plan.Move(-offset, -offset);
}

}  // namespace

std::vector<TTextCopy> Text3DCopies(const TFont3D& style, bool enabled, const QRect& rect,
                                    const QColor& fontColor) {
  TCopyPlan plan(rect);
  if (!enabled) {
    // Engraved look, whatever the style says.
    plan.Draw(ClBtnHighlight());
    plan.Move(-1, -1);
    plan.Draw(ClGrayText());
    return plan.Take();
  }
  if (style.ThreeDimensional) {
    PlanRepetition(style, plan);
    PlanStyle(style, plan);
  }
  plan.Draw(fontColor);
  return plan.Take();
}

void DrawText3D(const TFont3D& style, QPainter& painter, const QFont& font, const QColor& fontColor,
                bool enabled, Qt::Alignment align, const QString& text, const QRect& rect,
                TEllipsis ellipsis) {
  const int flags = int(align & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | Qt::TextSingleLine |
                    Qt::TextExpandTabs | Qt::TextShowMnemonic | Qt::TextDontClip;
  QString shown = text;
  if (ellipsis == TEllipsis::End) {
    shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, rect.width(), Qt::TextShowMnemonic);
  }
  painter.save();
  painter.setFont(font);
  for (const TTextCopy& copy : Text3DCopies(style, enabled, rect, fontColor)) {
    painter.setPen(copy.Color);
    painter.drawText(copy.Rect, flags, shown);
  }
  painter.restore();
}

}  // namespace kadrel
