// A canvas that records what the grid draws, with the measures of a face in
// which a single-byte character is half as wide as a double-byte one and a
// line is as high as the font's pixel size, so that text positions can be
// checked to the pixel on any machine.
#pragma once

#include <array>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/uCalendarLayout.h"
#include "platform/uGbk.h"

namespace kadrel::test {

struct TDrawnText {
  int X = 0;
  int Y = 0;
  std::string Text;  // UTF-8
  TCalendarFontRole Font = TCalendarFontRole::Head;
  TCalendarColorRole Color = TCalendarColorRole::Back;
  TCalendarColorRole Background = TCalendarColorRole::Back;
  int Width = -1;  // the narrowed width, -1 when drawn at its own width
};

struct TDrawnLine {
  int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  TCalendarColorRole Color = TCalendarColorRole::Back;
  friend bool operator==(const TDrawnLine&, const TDrawnLine&) = default;
};

inline void PrintTo(const TDrawnLine& l, std::ostream* os) {
  *os << "(" << l.X1 << ", " << l.Y1 << ")-(" << l.X2 << ", " << l.Y2 << ") colour "
      << static_cast<int>(l.Color);
}

struct TFilledRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  TCalendarColorRole Color = TCalendarColorRole::Back;
};

class TRecordingCanvas final : public TCalendarCanvas {
 public:
  // Pixel sizes of the head, day and lunar fonts.
  explicit TRecordingCanvas(std::array<int, 3> pixels = {12, 12, 12}) : pixels_(pixels) {}

  void SetFont(TCalendarFontRole font) override { font_ = font; }
  void SetFontColor(TCalendarColorRole color) override { fontColor_ = color; }
  void SetBrushColor(TCalendarColorRole color) override { brush_ = color; }
  void SetPenColor(TCalendarColorRole color) override { pen_ = color; }
  void FillRect(int left, int top, int right, int bottom) override {
    Fills.push_back({left, top, right, bottom, brush_});
  }
  void MoveTo(int x, int y) override {
    x_ = x;
    y_ = y;
  }
  void LineTo(int x, int y) override {
    Lines.push_back({x_, y_, x, y, pen_});
    x_ = x;
    y_ = y;
  }
  void TextOut(int x, int y, std::string_view gbk) override {
    Texts.push_back({x, y, GbkToUtf8(gbk).value_or("<not GBK>"), font_, fontColor_, brush_});
  }
  void TextOutNarrowed(int x, int y, int width, std::string_view gbk) override {
    TextOut(x, y, gbk);
    Texts.back().Width = width;
  }
  int TextWidth(std::string_view gbk) override { return static_cast<int>(gbk.size()) * Pixels() / 2; }
  int TextHeight(std::string_view) override { return Pixels(); }

  // Every text drawn, in order, that reads `utf8`.
  std::vector<TDrawnText> TextsOf(std::string_view utf8) const {
    std::vector<TDrawnText> found;
    for (const TDrawnText& t : Texts)
      if (t.Text == utf8) found.push_back(t);
    return found;
  }

  std::vector<TFilledRect> Fills;
  std::vector<TDrawnLine> Lines;
  std::vector<TDrawnText> Texts;

 private:
  int Pixels() const { return pixels_[static_cast<int>(font_)]; }

  std::array<int, 3> pixels_;
  TCalendarFontRole font_ = TCalendarFontRole::Head;
  TCalendarColorRole fontColor_ = TCalendarColorRole::Back;
  TCalendarColorRole brush_ = TCalendarColorRole::Back;
  TCalendarColorRole pen_ = TCalendarColorRole::Back;
  int x_ = 0, y_ = 0;
};

}  // namespace kadrel::test
