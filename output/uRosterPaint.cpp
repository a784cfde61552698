#include "output/uRosterPaint.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <array>

#include "calendar/uCalendarPainter.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "widgets/uFonts.h"

namespace kadrel {

namespace {

using G = TRosterGeometry;

const QColor kLineColor(176, 176, 176);
const QColor kHeadColor(240, 236, 216);
const QColor kWeekendGround(234, 238, 252);
const QColor kLightOffGround(255, 234, 234);
const QColor kShortGround(200, 0, 0);
const QColor kNameColor(0, 0, 160);

constexpr std::array<const char*, 7> kWeekdays = {"日", "一", "二", "三", "四", "五", "六"};

// Nothing of the caller's painter may show through: a copied box has only
// its own ground and line.
void Box(QPainter& p, const QRect& r, const QColor& ground) {
  p.fillRect(r, ground);
  p.setBrush(Qt::NoBrush);
  p.setPen(kLineColor);
  p.drawRect(r.adjusted(0, 0, -1, -1));
}

void Text(QPainter& p, const QRect& r, const QString& text, const QColor& color, int align = Qt::AlignCenter) {
  p.setPen(color);
  p.drawText(r.adjusted(2, 0, -2, 0), align, p.fontMetrics().elidedText(text, Qt::ElideRight, r.width() - 4));
}

// Black or white, whichever reads on `ground`.
QColor InkOn(const QColor& ground) { return ground.lightness() < 110 ? Qt::white : Qt::black; }

}  // namespace

int TRosterGeometry::DayAt(int x) const {
  if (x < kNameWidth || x >= TotalsLeft()) return -1;
  return (x - kNameWidth) / kDayWidth;
}

std::pair<std::size_t, std::size_t> TRosterGeometry::RowsIn(int offset, int height, std::size_t rows) const {
  if (height <= 0 || rows == 0) return {0, 0};
  const std::size_t first = std::min(rows, static_cast<std::size_t>(std::max(0, offset) / kRowHeight));
  const std::size_t last = static_cast<std::size_t>((std::max(0, offset) + height + kRowHeight - 1) / kRowHeight);
  return {first, std::min(rows, last)};
}

std::string RosterShortText(const TRosterCell& cell) {
  std::string text = cell.Text.substr(0, GbkCutPoint(cell.Text, 2));
  if (cell.Text.find('+') != std::string::npos) text += '+';
  return text;
}

const char* RosterPaperName(TRosterPaper paper) { return paper == TRosterPaper::A3 ? "A3" : "A4"; }

TRosterPicture::TRosterPicture(const TRoster& roster, std::vector<TRosterKindCount> kinds, std::vector<bool> watched,
                               int minimum)
    : roster_(roster), kinds_(std::move(kinds)), watched_(std::move(watched)), minimum_(minimum) {
  watched_.resize(kinds_.size(), true);
  cellFont_ = KadrelFont(12);
  markFont_ = KadrelFont(9);
  geometry_.Days = static_cast<int>(roster.DayCount());
  geometry_.Kinds = static_cast<int>(kinds_.size());
}

bool TRosterPicture::Short(std::size_t kind, std::size_t column) const {
  return minimum_ > 0 && watched_[kind] && kinds_[kind].PerDay[column] < minimum_;
}

bool TRosterPicture::DayShort(std::size_t column) const {
  for (std::size_t k = 0; k < kinds_.size(); ++k) {
    if (Short(k, column)) return true;
  }
  return false;
}

const QString& TRosterPicture::Texted(const std::string& gbk) const {
  auto it = texts_.find(gbk);
  if (it == texts_.end()) it = texts_.emplace(gbk, GbkToQString(gbk)).first;
  return it->second;
}

QColor TRosterPicture::DayGround(std::size_t column) const {
  const THolidayDay holiday = roster_.HolidayAt(column);
  if (holiday.Mark == THolidayMark::Off) return holiday.Statutory ? kOffGroundColor : kLightOffGround;
  if (holiday.Mark == THolidayMark::Work) return kWorkGroundColor;
  const int weekday = DayOfWeekSerial(roster_.DayAt(column));
  return weekday == 1 || weekday == 7 ? kWeekendGround : QColor(Qt::white);
}

void TRosterPicture::PaintHead(QPainter& p, int top) const {
  p.setFont(cellFont_);
  Box(p, {0, top, G::kNameWidth, G::kHeadHeight}, kHeadColor);
  Text(p, {0, top, G::kNameWidth, G::kHeadHeight}, QStringLiteral("姓名"), Qt::black);
  for (std::size_t c = 0; c < roster_.DayCount(); ++c) {
    const std::int64_t day = roster_.DayAt(c);
    const THolidayDay holiday = roster_.HolidayAt(c);
    const bool dayShort = DayShort(c);
    const QColor ground = dayShort ? kShortGround : DayGround(c);
    const int date = DecodeDate(day).Day;
    const int weekday = DayOfWeekSerial(day);
    StampKey('h', ground.rgba()) += {static_cast<char>(date), static_cast<char>(weekday),
                                     static_cast<char>(holiday.Mark), holiday.Statutory, dayShort};
    const QRect r(geometry_.DayLeft(static_cast<int>(c)), top, G::kDayWidth, G::kHeadHeight);
    stamps_.Paint(p, r, key_, [&](QPainter& q, const QRect& at) {
      q.setFont(cellFont_);
      Box(q, at, ground);
      const QColor ink = dayShort ? Qt::white : (holiday.Statutory ? kOffMarkColor : Qt::black);
      QRect line(at.x(), at.y(), G::kDayWidth, G::kHeadLine);
      Text(q, line, QString::number(date), ink);
      Text(q, line.translated(0, G::kHeadLine), QString::fromUtf8(kWeekdays[static_cast<std::size_t>(weekday - 1)]), ink);
      if (holiday.Mark != THolidayMark::None) {
        const bool off = holiday.Mark == THolidayMark::Off;
        Text(q, line.translated(0, 2 * G::kHeadLine), off ? QStringLiteral("休") : QStringLiteral("班"),
             dayShort ? Qt::white : (off ? kOffMarkColor : kWorkMarkColor));
      }
    });
  }
  int x = geometry_.TotalsLeft();
  auto total = [&](const QString& head) {
    Box(p, {x, top, G::kTotalWidth, G::kHeadHeight}, kHeadColor);
    Text(p, {x, top, G::kTotalWidth, G::kHeadHeight}, head, Qt::black);
    x += G::kTotalWidth;
  };
  for (const TRosterKindCount& kind : kinds_) total(GbkToQString(kind.Name));
  total(QStringLiteral("请假"));
  total(QStringLiteral("工时"));
}

void TRosterPicture::PaintCell(QPainter& p, const QRect& r, const QColor& ground, std::string_view mark,
                               const std::string& text) const {
  Box(p, r, ground);
  if (!mark.empty()) {
    // The corner the calendar gives its badge, in the badge's purple.
    p.setFont(markFont_);
    p.setPen(kChangeMarkColor);
    p.drawText(r.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, Texted(std::string(mark)));
  }
  p.setFont(cellFont_);
  // A day's text is one character and a "+": it always fits.
  p.setPen(InkOn(ground));
  p.drawText(r.adjusted(mark.empty() ? 0 : 6, 0, 0, 0), Qt::AlignCenter, Texted(text));
}

void TRosterPicture::PaintRow(QPainter& p, int top, std::size_t row, const TRosterRow& built) const {
  const std::string& name = roster_.UserName(row);
  names_.Paint(p, {0, top, G::kNameWidth, G::kRowHeight}, name, [&](QPainter& q, const QRect& at) {
    q.setFont(cellFont_);
    Box(q, at, Qt::white);
    // A name is converted on its way to the page, not kept: a team may be
    // ten thousand of them.
    Text(q, at, GbkToQString(name), kNameColor, Qt::AlignLeft | Qt::AlignVCenter);
  });
  for (std::size_t c = 0; c < built.Cells.size(); ++c) {
    const TRosterCell& cell = built.Cells[c];
    const QRect r(geometry_.DayLeft(static_cast<int>(c)), top, G::kDayWidth, G::kRowHeight);
    const QColor ground = cell.Color == kNoColor ? DayGround(c) : QColor(QRgb(cell.Color));
    const std::string text = RosterShortText(cell);
    StampKey('d', ground.rgba()).append(1, static_cast<char>(cell.Mark.size())).append(cell.Mark).append(text);
    stamps_.Paint(p, r, key_, [&](QPainter& q, const QRect& at) { PaintCell(q, at, ground, cell.Mark, text); });
  }
  int x = geometry_.TotalsLeft();
  auto total = [&](const std::string& value) {
    StampKey('t', 0).append(value);
    stamps_.Paint(p, {x, top, G::kTotalWidth, G::kRowHeight}, key_, [&](QPainter& q, const QRect& at) {
      Box(q, at, kHeadColor);
      q.setFont(cellFont_);
      q.setPen(Qt::black);
      q.drawText(at.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(value));
    });
    x += G::kTotalWidth;
  };
  for (const long days : RosterKindDays(built, kinds_)) total(std::to_string(days));
  total(std::to_string(built.Hours.LeaveDays));
  total(FormatHours(static_cast<double>(built.Hours.Total.Minutes)));
}

void TRosterPicture::PaintFooter(QPainter& p, int top) const {
  p.setFont(cellFont_);
  for (std::size_t k = 0; k < kinds_.size(); ++k) {
    const int y = top + static_cast<int>(k) * G::kRowHeight;
    Box(p, {0, y, G::kNameWidth, G::kRowHeight}, kHeadColor);
    Text(p, {0, y, G::kNameWidth, G::kRowHeight}, GbkToQString(kinds_[k].Name) + QStringLiteral("人数"),
         Qt::black, Qt::AlignLeft | Qt::AlignVCenter);
    for (std::size_t c = 0; c < roster_.DayCount(); ++c) {
      const QRect r(geometry_.DayLeft(static_cast<int>(c)), y, G::kDayWidth, G::kRowHeight);
      const bool dayShort = Short(k, c);
      const int count = kinds_[k].PerDay[c];
      StampKey('f', dayShort ? 1 : 0).append(std::to_string(count));
      stamps_.Paint(p, r, key_, [&](QPainter& q, const QRect& at) {
        Box(q, at, dayShort ? kShortGround : kHeadColor);
        q.setFont(cellFont_);
        Text(q, at, QString::number(count), dayShort ? Qt::white : Qt::black);
      });
    }
    Box(p, {geometry_.TotalsLeft(), y, geometry_.Width() - geometry_.TotalsLeft(), G::kRowHeight}, kHeadColor);
  }
}

std::string& TRosterPicture::StampKey(char part, QRgb look) const {
  key_.assign(1, part).append(reinterpret_cast<const char*>(&look), sizeof look);
  return key_;
}

QByteArray BuildRosterPdf(const TRosterPicture& picture, TRosterPaper paper, const QString& title) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("Kadrel"));
    pdf.setResolution(300);
    pdf.setPageLayout(QPageLayout(QPageSize(paper == TRosterPaper::A3 ? QPageSize::A3 : QPageSize::A4),
                                  QPageLayout::Landscape, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    QPainter p(&pdf);
    const TRosterGeometry& g = picture.Geometry();
    const double scale = static_cast<double>(pdf.width()) / g.Width();
    p.scale(scale, scale);
    constexpr int kTitleHeight = 28;
    const int pageHeight = static_cast<int>(pdf.height() / scale);
    const int room = pageHeight - kTitleHeight - G::kHeadHeight - g.FooterHeight();
    // A roster of very many kinds on small paper still prints a row a page.
    const std::size_t perPage = static_cast<std::size_t>(std::max(1, room / G::kRowHeight));
    const std::size_t rows = picture.Roster().RowCount();
    const std::size_t pages = std::max<std::size_t>(1, (rows + perPage - 1) / perPage);
    for (std::size_t page = 0; page < pages; ++page) {
      if (page > 0) pdf.newPage();
      p.setFont(KadrelFont(14));
      p.setPen(Qt::black);
      QString heading = title;
      if (pages > 1) heading += QStringLiteral("（第%1页，共%2页）").arg(page + 1).arg(pages);
      p.drawText(QRect(0, 0, g.Width(), kTitleHeight - 6), Qt::AlignLeft | Qt::AlignVCenter, heading);
      picture.PaintHead(p, kTitleHeight);
      int y = kTitleHeight + G::kHeadHeight;
      for (std::size_t r = page * perPage; r < std::min(rows, (page + 1) * perPage); ++r) {
        picture.PaintRow(p, y, r, picture.Roster().Row(r));
        y += G::kRowHeight;
      }
      picture.PaintFooter(p, y);
    }
  }
  return bytes;
}

}  // namespace kadrel
