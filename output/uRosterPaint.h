// The roster as a picture: the geometry of its parts, the renderer that
// paints them on any QPainter, and its pages for paper and PDF. The window
// paints only the rows in view through the same renderer, so what is shown,
// printed and exported as PDF is one drawing.
//
// Units are the screen's pixels; a page scales the whole picture to fit the
// width of its paper.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QString>

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "output/uPaintStamps.h"
#include "output/uRoster.h"

class QPainter;

namespace kadrel {

// The columns: names, the days, and after them one total per duty kind,
// the days of leave and the hours. The rows: a head of three lines (day,
// weekday, 休/班), the users, and a footer of one line per duty kind.
struct TRosterGeometry {
  static constexpr int kNameWidth = 72;
  static constexpr int kDayWidth = 28;
  static constexpr int kTotalWidth = 36;
  static constexpr int kHeadLine = 16;
  static constexpr int kHeadHeight = 3 * kHeadLine;
  static constexpr int kRowHeight = 20;

  int Days = 0;
  int Kinds = 0;

  int DayLeft(int column) const { return kNameWidth + column * kDayWidth; }
  int TotalsLeft() const { return DayLeft(Days); }
  int Width() const { return TotalsLeft() + (Kinds + 2) * kTotalWidth; }
  int FooterHeight() const { return Kinds * kRowHeight; }
  // The day column under x; -1 off the days.
  int DayAt(int x) const;
  // The rows [first, last) of `rows` that a band `height` pixels high,
  // scrolled down `offset` pixels, shows even in part.
  std::pair<std::size_t, std::size_t> RowsIn(int offset, int height, std::size_t rows) const;
};

class TRosterPicture {
 public:
  // `roster` must outlive the picture; `kinds` are its DayCounts. The kinds
  // `watched` marks are held to `minimum` (0 holds none to one): a rest
  // kind needs nobody.
  TRosterPicture(const TRoster& roster, std::vector<TRosterKindCount> kinds, std::vector<bool> watched, int minimum);

  const TRoster& Roster() const { return roster_; }
  const TRosterGeometry& Geometry() const { return geometry_; }
  const std::vector<TRosterKindCount>& Kinds() const { return kinds_; }
  int Minimum() const { return minimum_; }
  // Fewer users than the minimum on a watched kind that day.
  bool Short(std::size_t kind, std::size_t column) const;
  bool DayShort(std::size_t column) const;

  // Each at the picture's left edge, `top` down.
  void PaintHead(QPainter& painter, int top) const;
  void PaintRow(QPainter& painter, int top, std::size_t row, const TRosterRow& built) const;
  void PaintFooter(QPainter& painter, int top) const;

 private:
  QColor DayGround(std::size_t column) const;
  // A month paints a few dozen distinct texts thousands of times: each is
  // converted from GBK once.
  const QString& Texted(const std::string& gbk) const;
  void PaintCell(QPainter& p, const QRect& r, const QColor& ground, std::string_view mark,
                 const std::string& text) const;
  // Starts the key of a stamp of `part` ('d'ay, 't'otal, 'f'ooter) with
  // its ground or flag; the caller appends the rest of what it draws.
  std::string& StampKey(char part, QRgb look) const;

  const TRoster& roster_;
  std::vector<TRosterKindCount> kinds_;
  std::vector<bool> watched_;
  int minimum_;
  TRosterGeometry geometry_;
  QFont cellFont_;
  QFont markFont_;
  mutable std::unordered_map<std::string, QString> texts_;
  mutable TPaintStamps stamps_;
  // Names do not repeat: enough of them for every row a screen shows, and a
  // page or two more, so that a repaint copies them.
  mutable TPaintStamps names_{256};
  mutable std::string key_;
};

// A cell's text in the width of a day: the first character of the duty (or
// of the leave kind), and "+" when an extra shift follows. GBK.
std::string RosterShortText(const TRosterCell& cell);

enum class TRosterPaper { A4, A3 };
const char* RosterPaperName(TRosterPaper paper);  // "A4", "A3": the queue's media

// The whole roster on landscape pages of `paper`, as a PDF file: every page
// has the title, the head and the footer, and as many rows as fit.
QByteArray BuildRosterPdf(const TRosterPicture& picture, TRosterPaper paper, const QString& title);

}  // namespace kadrel
