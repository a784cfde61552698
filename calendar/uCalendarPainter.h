// The grid's canvas on a Qt painter: what TCalendar draws its picture with.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "calendar/uCalendar.h"
#include "calendar/uCalendarLayout.h"

namespace kadrel {

// Texts of the grid as QString. A month paints some ninety texts, almost
// all of them again on the next paint, so each distinct GBK text is
// converted once. The texts are day numbers, captions and lunar names, a
// few hundred in all, so the cache stays small.
class TCalendarTextCache {
 public:
  const QString& Get(std::string_view gbk);

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, QString, Hash, std::equal_to<>> texts_;
};

// The pixel size of a font of `points` at 96 pixels per inch, rounded to
// the nearest pixel (9 -> 12, 10 -> 13, 12 -> 16).
int CalendarFontPixels(int points);

QFont CalendarQFont(const TSampleFont& font);

// Text is set in its em box: the box a text fills is TextWidth x the font's
// pixel size, and a Chinese character's glyph lies inside it. The grid's
// layout was made for a face whose line is exactly that box; the CJK faces
// on Linux add a line gap above and below, which would push every text
// down and let one text's background cover its neighbour.
class TQtCalendarCanvas final : public TCalendarCanvas {
 public:
  // `painter` may be null for a control without area: then the canvas
  // measures and draws nothing.
  TQtCalendarCanvas(QPainter* painter, const TFontOfCalendar& fonts, const TCalendarColors& colors,
                    TCalendarTextCache& texts);

  void SetFont(TCalendarFontRole font) override;
  void SetFontColor(TCalendarColorRole color) override;
  void SetBrushColor(TCalendarColorRole color) override;
  void SetPenColor(TCalendarColorRole color) override;
  void FillRect(int left, int top, int right, int bottom) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void TextOut(int x, int y, std::string_view gbk) override;
  void TextOutNarrowed(int x, int y, int width, std::string_view gbk) override;
  int TextWidth(std::string_view gbk) override;
  int TextHeight(std::string_view gbk) override;

 private:
  struct TFace {
    QFont Font;
    QFontMetrics Metrics;
    int Height;    // the em box
    int Baseline;  // from the top of the em box
  };
  static TFace MakeFace(const TSampleFont& font);
  const TFace& Face() const { return faces_[static_cast<int>(font_)]; }
  const QColor& Color(TCalendarColorRole role) const { return colors_[static_cast<int>(role)]; }

  QPainter* painter_;
  std::array<TFace, 3> faces_;
  std::array<QColor, 13> colors_;
  TCalendarTextCache& texts_;
  TCalendarFontRole font_ = TCalendarFontRole::Head;
  bool fontSet_ = false;
  TCalendarColorRole fontColor_ = TCalendarColorRole::Day;
  TCalendarColorRole brushColor_ = TCalendarColorRole::Back;
  TCalendarColorRole penColor_ = TCalendarColorRole::Line;
  int penX_ = 0;
  int penY_ = 0;
};

}  // namespace kadrel
