// The grid's canvas on a Qt painter: what TCalendar draws its picture with.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStaticText>
#include <QString>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "calendar/uCalendar.h"
#include "calendar/uCalendarLayout.h"

namespace kadrel {

// The holiday colours: a red 休 and a dark grey 班, and grounds light enough
// that blue and red day numbers stay readable on them. The roster uses them
// too, so a day looks alike in both.
inline const QColor kOffMarkColor(220, 0, 0);
inline const QColor kWorkMarkColor(80, 80, 80);
inline const QColor kOffGroundColor(255, 208, 208);
inline const QColor kWorkGroundColor(214, 214, 214);
// The rota's badge: a purple that no other text of the grid uses, with white
// on it, so a changed day reads apart from holidays, weekends and terms.
inline const QColor kChangeMarkColor(120, 40, 170);
inline const QColor kChangeTextColor(255, 255, 255);

// Texts of the grid as QString. A month paints some ninety texts, almost
// all of them again on the next paint, so each distinct GBK text is
// converted once. The texts are day numbers, captions and lunar names, a
// few hundred in all, so the cache stays small.
class TCalendarTextCache {
 public:
  const QString& Get(std::string_view gbk);
  // A text laid out in one font, `fontKey` naming it: every text is
  // measured to be placed, measured again to fill its box and drawn, and
  // each of these shaped it anew; now it is shaped once.
  struct TLaidText {
    int Width = 0;  // the advance
    QStaticText Text;
  };
  const TLaidText& Laid(std::string_view gbk, const std::string& fontKey, const QFont& font,
                        const QFontMetrics& metrics);
  // A badge as last drawn under `key`, or null; and the one to keep.
  const QImage* Badge(const std::string& key) const;
  const QImage& KeepBadge(std::string key, QImage badge);

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, QString, Hash, std::equal_to<>> texts_;
  std::unordered_map<std::string, QImage> badges_;
  std::unordered_map<std::string, TLaidText, Hash, std::equal_to<>> laid_;
  std::string laidKey_;  // kept between calls: a lookup allocates nothing
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
  // Drawn once into a picture of its own and copied from there after: the
  // ground is opaque, so the copy is the very pixels a drawing would make,
  // and a month of badges costs no text drawing.
  void DrawBadge(const TMarkBox& box, std::string_view gbk, TCalendarColorRole ground,
                 TCalendarColorRole ink) override;

 private:
  struct TFace {
    QFont Font;
    QFontMetrics Metrics;
    int Height;    // the em box
    int Baseline;  // from the top of the em box
    std::string Key;  // the font, for the text cache
  };
  static TFace MakeFace(const TSampleFont& font);
  const TFace& Face() const { return faces_[static_cast<int>(font_)]; }
  const TCalendarTextCache::TLaidText& Laid(std::string_view gbk) {
    return texts_.Laid(gbk, Face().Key, Face().Font, Face().Metrics);
  }
  const QColor& Color(TCalendarColorRole role) const { return colors_[static_cast<int>(role)]; }

  QPainter* painter_;
  const TFontOfCalendar& fonts_;
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
