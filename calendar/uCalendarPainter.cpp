#include "calendar/uCalendarPainter.h"

#include <algorithm>
#include <cstdlib>
#include <QVariant>

#include "platform/gui/uQtGbk.h"

namespace kadrel {

namespace {

// The ideographic em box of a CJK face reaches 0.88 em above the baseline.
constexpr int kBaselineInThousandths = 880;

}  // namespace

const QString& TCalendarTextCache::Get(std::string_view gbk) {
  auto it = texts_.find(gbk);
  if (it == texts_.end()) {
    // Lossy: a damaged name shows replacement marks instead of vanishing.
    it = texts_.emplace(std::string(gbk), GbkToQString(gbk)).first;
  }
  return it->second;
}

const TCalendarTextCache::TLaidText& TCalendarTextCache::Laid(std::string_view gbk, const std::string& fontKey,
                                                               const QFont& font, const QFontMetrics& metrics) {
  laidKey_.assign(fontKey).append(1, '\0').append(gbk);
  auto it = laid_.find(laidKey_);
  if (it == laid_.end()) {
    TLaidText laid{metrics.horizontalAdvance(Get(gbk)), QStaticText(Get(gbk))};
    laid.Text.setTextFormat(Qt::PlainText);
    laid.Text.prepare(QTransform(), font);
    it = laid_.emplace(laidKey_, std::move(laid)).first;
  }
  return it->second;
}

const QImage* TCalendarTextCache::Badge(const std::string& key) const {
  const auto it = badges_.find(key);
  return it == badges_.end() ? nullptr : &it->second;
}

const QImage& TCalendarTextCache::KeepBadge(std::string key, QImage badge) {
  return badges_.insert_or_assign(std::move(key), std::move(badge)).first->second;
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
  return TFace{f, QFontMetrics(f), pixels, (pixels * kBaselineInThousandths + 500) / 1000, f.key().toStdString()};
}

TQtCalendarCanvas::TQtCalendarCanvas(QPainter* painter, const TFontOfCalendar& fonts,
                                     const TCalendarColors& colors, TCalendarTextCache& texts)
    : painter_(painter),
      fonts_(fonts),
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
  const TFace& face = Face();
  const TCalendarTextCache::TLaidText& laid = Laid(gbk);
  painter_->fillRect(QRect(x, y, laid.Width, face.Height), Color(brushColor_));
  painter_->setPen(Color(fontColor_));
  // A static text stands with the top of its line at the point.
  painter_->drawStaticText(QPointF(x, y + face.Baseline - face.Metrics.ascent()), laid.Text);
}

void TQtCalendarCanvas::TextOutNarrowed(int x, int y, int width, std::string_view gbk) {
  if (!painter_ || width <= 0) return;
  if (!fontSet_) SetFont(font_);
  const QString& text = texts_.Get(gbk);
  const TFace& face = Face();
  const int natural = Laid(gbk).Width;
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

int TQtCalendarCanvas::TextWidth(std::string_view gbk) { return Laid(gbk).Width; }

int TQtCalendarCanvas::TextHeight(std::string_view) { return Face().Height; }

void TQtCalendarCanvas::DrawBadge(const TMarkBox& box, std::string_view gbk, TCalendarColorRole ground,
                                  TCalendarColorRole ink) {
  brushColor_ = ground;
  if (!painter_ || box.Right <= box.Left || box.Bottom <= box.Top) return;
  std::string key(gbk);
  for (const QVariant& part : {QVariant(Color(ground).rgb()), QVariant(Color(ink).rgb()), QVariant(box.Right - box.Left),
                               QVariant(box.Bottom - box.Top)}) {
    key += '\0';
    key += part.toString().toStdString();
  }
  key.append(1, '\0').append(Face().Key);
  const QImage* badge = texts_.Badge(key);
  if (!badge) {
    // The picture's own format, so the text is blended as it would be there.
    QImage drawn(box.Right - box.Left, box.Bottom - box.Top, QImage::Format_RGB32);
    QPainter painter(&drawn);
    TQtCalendarCanvas canvas(&painter, fonts_, {}, texts_);
    canvas.colors_ = colors_;
    canvas.SetFont(font_);
    canvas.TCalendarCanvas::DrawBadge({0, 0, drawn.width(), drawn.height()}, gbk, ground, ink);
    painter.end();
    badge = &texts_.KeepBadge(std::move(key), std::move(drawn));
  }
  painter_->drawImage(box.Left, box.Top, *badge);
}

}  // namespace kadrel
