#include "calendar/uCalendarPainter.h"

#include <algorithm>
#include <cstdlib>

#include "platform/gui/uQtGbk.h"

namespace kadrel {

namespace {

// The ideographic em box of a CJK face reaches 0.88 em above the baseline.
constexpr int kBaselineInThousandths = 880;

// The holiday colours: a red 休 and a dark grey 班, and grounds light enough
// that blue and red day numbers stay readable on them.
const QColor kOffMarkColor(220, 0, 0);
const QColor kWorkMarkColor(80, 80, 80);
const QColor kOffGroundColor(255, 208, 208);
const QColor kWorkGroundColor(214, 214, 214);
// The rota's badge: a purple that no other text of the grid uses, with white
// on it, so a changed day reads apart from holidays, weekends and terms.
const QColor kChangeMarkColor(120, 40, 170);
const QColor kChangeTextColor(255, 255, 255);

}  // namespace

const QString& TCalendarTextCache::Get(std::string_view gbk) {
  auto it = texts_.find(gbk);
  if (it == texts_.end()) {
    // Lossy: a damaged name shows replacement marks instead of vanishing.
    it = texts_.emplace(std::string(gbk), GbkToQString(gbk)).first;
  }
  return it->second;
}

int CalendarFontPixels(int points) {
  const int pixels = (points * 96 + 36) / 72;
  return std::max(pixels, 1);
}

QFont CalendarQFont(const TSampleFont& font) {
  QFont f(font.FontName);
  f.setPixelSize(CalendarFontPixels(font.FontSize));
  f.setBold((font.FontStyle & fsBold) != 0);
  f.setItalic((font.FontStyle & fsItalic) != 0);
  f.setUnderline((font.FontStyle & fsUnderline) != 0);
  f.setStrikeOut((font.FontStyle & fsStrikeOut) != 0);
  return f;
}

TQtCalendarCanvas::TFace TQtCalendarCanvas::MakeFace(const TSampleFont& font) {
  const QFont f = CalendarQFont(font);
  const int pixels = f.pixelSize();
  return TFace{f, QFontMetrics(f), pixels, (pixels * kBaselineInThousandths + 500) / 1000};
}

TQtCalendarCanvas::TQtCalendarCanvas(QPainter* painter, const TFontOfCalendar& fonts,
                                     const TCalendarColors& colors, TCalendarTextCache& texts)
    : painter_(painter),
      faces_{MakeFace(fonts.HeadFont), MakeFace(fonts.DayFont), MakeFace(fonts.LunarFont)},
      colors_{colors.BackColor,    colors.HeadColor, colors.LineColor,   colors.SpareColor,
              colors.WeekendColor, colors.DayColor,  colors.LunarColor,  kOffMarkColor,
              kWorkMarkColor,      kOffGroundColor,  kWorkGroundColor,  kChangeMarkColor,
              kChangeTextColor},
      texts_(texts) {}

void TQtCalendarCanvas::SetFont(TCalendarFontRole font) {
  if (fontSet_ && font == font_) return;
  font_ = font;
  fontSet_ = true;
  if (painter_) painter_->setFont(Face().Font);
}

void TQtCalendarCanvas::SetFontColor(TCalendarColorRole color) { fontColor_ = color; }
void TQtCalendarCanvas::SetBrushColor(TCalendarColorRole color) { brushColor_ = color; }
void TQtCalendarCanvas::SetPenColor(TCalendarColorRole color) { penColor_ = color; }

void TQtCalendarCanvas::FillRect(int left, int top, int right, int bottom) {
  if (!painter_ || right <= left || bottom <= top) return;
  painter_->fillRect(QRect(left, top, right - left, bottom - top), Color(brushColor_));
}

void TQtCalendarCanvas::MoveTo(int x, int y) {
  penX_ = x;
  penY_ = y;
}

void TQtCalendarCanvas::LineTo(int x, int y) {
  const int x0 = penX_;
  const int y0 = penY_;
  penX_ = x;
  penY_ = y;
  if (!painter_ || (x == x0 && y == y0)) return;
  const QColor& pen = Color(penColor_);
  // Grid lines are straight; filling their pixels keeps them exact under
  // any painter settings.
  if (x == x0) {
    const int top = y > y0 ? y0 : y + 1;
    painter_->fillRect(QRect(x, top, 1, std::abs(y - y0)), pen);
    return;
  }
  if (y == y0) {
    const int left = x > x0 ? x0 : x + 1;
    painter_->fillRect(QRect(left, y, std::abs(x - x0), 1), pen);
    return;
  }
  const int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
  const int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  for (int px = x0, py = y0; px != x || py != y;) {
    painter_->fillRect(QRect(px, py, 1, 1), pen);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      px += sx;
    }
    if (e2 <= dx) {
      err += dx;
      py += sy;
    }
  }
}

void TQtCalendarCanvas::TextOut(int x, int y, std::string_view gbk) {
  if (!painter_) return;
  if (!fontSet_) SetFont(font_);
  const QString& text = texts_.Get(gbk);
  const TFace& face = Face();
  painter_->fillRect(QRect(x, y, face.Metrics.horizontalAdvance(text), face.Height), Color(brushColor_));
  painter_->setPen(Color(fontColor_));
  painter_->drawText(x, y + face.Baseline, text);
}

void TQtCalendarCanvas::TextOutNarrowed(int x, int y, int width, std::string_view gbk) {
  if (!painter_ || width <= 0) return;
  if (!fontSet_) SetFont(font_);
  const QString& text = texts_.Get(gbk);
  const TFace& face = Face();
  const int natural = face.Metrics.horizontalAdvance(text);
  if (natural <= width) {
    TextOut(x, y, gbk);
    return;
  }
  painter_->fillRect(QRect(x, y, width, face.Height), Color(brushColor_));
  painter_->save();
  painter_->translate(x, y + face.Baseline);
  painter_->scale(static_cast<double>(width) / natural, 1.0);
  painter_->setPen(Color(fontColor_));
  painter_->drawText(0, 0, text);
  painter_->restore();
}

int TQtCalendarCanvas::TextWidth(std::string_view gbk) {
  return Face().Metrics.horizontalAdvance(texts_.Get(gbk));
}

int TQtCalendarCanvas::TextHeight(std::string_view) { return Face().Height; }

}  // namespace kadrel
