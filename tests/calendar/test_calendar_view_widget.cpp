// The grid as a widget: its defaults, its picture to the pixel with the
// program's real font, and CellAt with the lunar names filled in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QRegion>
#include <set>
#include <string>

#include "calendar/uCalendar.h"
#include "calendar/uCalendarPainter.h"
#include "platform/uClock.h"
#include "platform/uGbk.h"
#include "widgets/uFonts.h"

namespace kadrel {
namespace {

const QColor kBack(255, 255, 255);
const QColor kLine(0, 0, 255);

// Text colours that no blend with white can turn into the line colour.
TCalendarColors TestColors() {
  TCalendarColors c;
  c.BackColor = kBack;
  c.LineColor = kLine;
  c.HeadColor = QColor(0, 128, 0);
  c.DayColor = QColor(128, 0, 128);
  c.WeekendColor = QColor(255, 0, 0);
  c.LunarColor = QColor(0, 128, 0);
  return c;
}

TFontOfCalendar MonthFonts() {
  TFontOfCalendar f;
  f.HeadFont.FontSize = 12;
  f.DayFont.FontSize = 12;
  f.LunarFont.FontSize = 10;
  return f;
}

std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk).value_or("<not GBK>"); }

// Columns (rows) whose every pixel from 0 to `length` is the line colour.
std::set<int> FullColumns(const QImage& image, int length) {
  std::set<int> xs;
  for (int x = 0; x < image.width(); ++x) {
    bool full = true;
    for (int y = 0; y < length && full; ++y) full = image.pixelColor(x, y) == kLine;
    if (full) xs.insert(x);
  }
  return xs;
}

std::set<int> FullRows(const QImage& image, int length) {
  std::set<int> ys;
  for (int y = 0; y < image.height(); ++y) {
    bool full = true;
    for (int x = 0; x < length && full; ++x) full = image.pixelColor(x, y) == kLine;
    if (full) ys.insert(y);
  }
  return ys;
}

// Bounding box of every pixel in `area` that is neither background nor line.
QRect InkIn(const QImage& image, const QRect& area) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c != kBack && c != kLine) box |= QRect(x, y, 1, 1);
    }
  return box;
}

QColor Darkest(const QImage& image, const QRect& area) {
  QColor darkest = kBack;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixelColor(x, y).lightness() < darkest.lightness()) darkest = image.pixelColor(x, y);
  return darkest;
}

class CalendarWidget : public testing::Test {
 protected:
  void ShowYear(int year) {
    cal.SetColors(TestColors());
    cal.SetFonts(TFontOfCalendar{});
    cal.resize(680, 350);
    cal.DrawYear(40, 14, year, 3, 2);
  }
  void ShowMonth(int year, int month) {
    ShowYear(year);
    cal.SetFonts(MonthFonts());
    cal.resize(490, 348);
    cal.DrawMonth(7, 7, month);
  }

  TCalendar cal;
};

TEST(CalendarWidgetDefaults, YearFromTheClockAndNothingDrawn) {
  const TClockOverride clock([] { return static_cast<TDateTime>(EncodeDate(2031, 5, 6)) + 0.75; });
  const TCalendar cal;
  EXPECT_EQ(cal.Year(), 2031);
  EXPECT_TRUE(cal.Picture().isNull()) << "nothing is drawn before the first view";

  TCalendKD day;
  EXPECT_FALSE(cal.CellAt(100, 100, day)) << "no cells before the first paint";
}

TEST(CalendarWidgetDefaults, BackColorIsTheSystemTooltipColour) {
  const QPalette saved = QApplication::palette();
  QPalette palette = saved;
  palette.setColor(QPalette::ToolTipBase, QColor(250, 240, 190));
  QApplication::setPalette(palette);
  EXPECT_EQ(SystemTooltipColor(), QColor(250, 240, 190));
  QApplication::setPalette(saved);
}

TEST_F(CalendarWidget, PictureFollowsTheControlAtTheNextDraw) {
  ShowYear(2026);
  EXPECT_EQ(cal.Picture().size(), QSize(680, 350));
  EXPECT_EQ(cal.CellWidth(), 17);
  EXPECT_EQ(cal.CellHeight(), 25);
  EXPECT_EQ(cal.ColCount(), 40);
  EXPECT_EQ(cal.RowCount(), 14);

  cal.resize(490, 348);
  EXPECT_EQ(cal.Picture().size(), QSize(680, 350)) << "the picture keeps the last paint";
  cal.SetFonts(MonthFonts());
  cal.DrawMonth(7, 7, 8);
  EXPECT_EQ(cal.Picture().size(), QSize(490, 348));
  EXPECT_FALSE(cal.YearMode());
  EXPECT_EQ(cal.Month(), 8);
  EXPECT_EQ(cal.Year(), 2026) << "a month of the year last drawn";
  EXPECT_EQ(cal.CellWidth(), 70);
  EXPECT_EQ(cal.CellHeight(), 50);

  cal.resize(0, 0);
  cal.DrawYear(40, 14, 2027, 3, 2);
  EXPECT_TRUE(cal.Picture().isNull());
  EXPECT_EQ(cal.Year(), 2027);
  TCalendKD day;
  EXPECT_FALSE(cal.CellAt(0, 0, day));
}

TEST_F(CalendarWidget, ShowsExactlyItsPicture) {
  ShowMonth(2024, 2);
  EXPECT_EQ(cal.grab().toImage().convertToFormat(QImage::Format_RGB32), cal.Picture());
}

TEST_F(CalendarWidget, RotaBadgesChangeOnlyBlankPixelsOfTheirOwnCells) {
  const std::string mark = GbkLiteral("换");
  // Holiday marks, terms and five-character lunar names; a leap month's six.
  for (const auto& [year, month] : {std::pair{2024, 2}, std::pair{2033, 12}}) {
    SCOPED_TRACE(std::to_string(year) + "-" + std::to_string(month));
    cal.SetDayMarks({});
    ShowMonth(year, month);
    const QImage plain = cal.Picture();
    cal.SetDayMarks([](int, int, int) { return std::string_view(); });
    cal.DrawMonth(7, 7, month);
    EXPECT_EQ(cal.Picture(), plain) << "a month without changes is pixel-identical";

    cal.SetDayMarks([&](int, int, int) { return std::string_view(mark); });
    cal.DrawMonth(7, 7, month);
    const QImage marked = cal.Picture();
    QRegion cells;
    for (int d = 1; d <= DaysInMonth(year, month); ++d) {
      const QRect cell = cal.MonthDayRect(d);
      cells += cell;
      QRect changed;
      for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
          if (marked.pixel(x, y) != plain.pixel(x, y)) changed |= QRect(x, y, 1, 1);
      EXPECT_FALSE(changed.isEmpty()) << "day " << d;
      EXPECT_EQ(InkIn(plain, changed), QRect()) << "day " << d << ": the badge covers something at " << changed.x()
                                                << "," << changed.y();
    }
    for (int y = 0; y < plain.height(); ++y) {
      for (int x = 0; x < plain.width(); ++x) {
        if (cells.contains(QPoint(x, y))) continue;
        ASSERT_EQ(marked.pixel(x, y), plain.pixel(x, y)) << x << "," << y;
      }
    }
  }
}

TEST_F(CalendarWidget, FontsAndColoursWaitForTheNextDraw) {
  ShowYear(2026);
  const QImage before = cal.Picture();
  TCalendarColors dark = TestColors();
  dark.BackColor = QColor(10, 20, 30);
  cal.SetColors(dark);
  TFontOfCalendar big;
  big.DayFont.FontSize = 20;
  cal.SetFonts(big);
  EXPECT_EQ(cal.Picture(), before);
  EXPECT_EQ(cal.Colors().BackColor, QColor(10, 20, 30));
  EXPECT_EQ(cal.Fonts().DayFont.FontSize, 20);

  cal.DrawYear(40, 14, 2026, 3, 2);
  EXPECT_EQ(cal.Picture().pixelColor(30, 100), QColor(10, 20, 30));
}

TEST_F(CalendarWidget, YearViewLinesToThePixel) {
  ShowYear(2026);
  const QImage& p = cal.Picture();
  std::set<int> xs = {0, 679};
  for (int i = 3; i < 40; ++i) xs.insert(i * 17);
  EXPECT_EQ(FullColumns(p, 349), xs);
  std::set<int> ys = {0, 349};
  for (int j = 2; j <= 14; ++j) ys.insert(j * 25 - 1);
  EXPECT_EQ(FullRows(p, 680), ys);
  // Inner lines stop one pixel short of the bottom border's far end.
  EXPECT_EQ(p.pixelColor(0, 349), kLine);
  EXPECT_EQ(p.pixelColor(17, 60), kBack) << "no line between the label columns";
  EXPECT_EQ(p.pixelColor(100, 24), kBack) << "no line between the header rows";
}

TEST_F(CalendarWidget, MonthViewLinesToThePixel) {
  ShowMonth(2026, 8);
  const QImage& p = cal.Picture();
  EXPECT_EQ(FullColumns(p, 347), (std::set<int>{0, 70, 140, 210, 280, 350, 420, 489}));
  EXPECT_EQ(FullRows(p, 490), (std::set<int>{0, 49, 99, 149, 199, 249, 299, 347}));
}

TEST_F(CalendarWidget, YearViewWeekdayHeaderPixels) {
  ShowYear(2026);
  // Column 3 (x 52..67): "周" in the box from y 10, "日" from y 23, each 12
  // pixels high; anti-aliasing may reach one row past a box.
  const QRect zhou = InkIn(cal.Picture(), QRect(52, 0, 16, 23));
  const QRect ri = InkIn(cal.Picture(), QRect(52, 23, 16, 26));
  ASSERT_FALSE(zhou.isEmpty());
  ASSERT_FALSE(ri.isEmpty());
  EXPECT_GE(zhou.top(), 9);
  EXPECT_LE(zhou.top(), 11);
  EXPECT_LE(zhou.bottom(), 22);
  EXPECT_LE(ri.top(), 24);
  EXPECT_LE(ri.bottom(), 35);
  EXPECT_GE(zhou.left(), 52);
  EXPECT_LE(zhou.right(), 63);
  // Column 3 is Sunday, in the weekend colour (red); column 4 Monday, in
  // the day colour (purple).
  const QColor sunday = Darkest(cal.Picture(), QRect(52, 23, 16, 26));
  EXPECT_GT(sunday.red(), sunday.blue() + 100);
  const QColor monday = Darkest(cal.Picture(), QRect(69, 23, 16, 26));
  EXPECT_NEAR(monday.red(), monday.blue(), 2);
  EXPECT_LT(monday.green(), 100);
}

TEST(CalendarCanvas, TextsStayInsideTheirBoxes) {
  // A text's box is what the next text's background covers; ink outside it
  // would be cut off by a neighbour. Hinted glyphs of the CJK face reach one
  // anti-aliased row above or below their em box, no more: a text set by
  // the face's ascent instead would sink three or four rows.
  TCalendarTextCache texts;
  TFontOfCalendar fonts;
  fonts.HeadFont.FontSize = 9;
  fonts.DayFont.FontSize = 12;
  fonts.LunarFont.FontSize = 10;
  const char* samples[] = {"周", "日", "2026年", "十二月廿五", "闰二月初一", "立", "春", "31", "一  月"};
  for (TCalendarFontRole role : {TCalendarFontRole::Head, TCalendarFontRole::Day, TCalendarFontRole::Lunar}) {
    for (const char* sample : samples) {
      QImage image(140, 60, QImage::Format_RGB32);
      image.fill(kBack);
      QPainter painter(&image);
      TQtCalendarCanvas canvas(&painter, fonts, TestColors(), texts);
      canvas.SetFont(role);
      canvas.SetFontColor(TCalendarColorRole::Weekend);
      canvas.SetBrushColor(TCalendarColorRole::Back);
      const std::string gbk = GbkLiteral(sample);
      canvas.TextOut(20, 20, gbk);
      const QRect box(20, 20, canvas.TextWidth(gbk), canvas.TextHeight(gbk));
      painter.end();
      const QRect ink = InkIn(image, image.rect());
      ASSERT_FALSE(ink.isEmpty()) << sample;
      EXPECT_TRUE(box.adjusted(0, -1, 0, 1).contains(ink))
          << sample << " at role " << static_cast<int>(role) << ": ink (" << ink.left() << ", " << ink.top()
          << ")-(" << ink.right() << ", " << ink.bottom() << "), box height " << box.height();
    }
  }
}

TEST(CalendarCanvas, FontSizesFollowTheLayoutsResolution) {
  EXPECT_EQ(CalendarFontPixels(9), 12);
  EXPECT_EQ(CalendarFontPixels(10), 13);
  EXPECT_EQ(CalendarFontPixels(12), 16);
  EXPECT_EQ(CalendarFontPixels(0), 1);
  EXPECT_EQ(QFontInfo(CalendarQFont(TSampleFont{})).family(), KadrelCjkFace())
      << "宋体 must reach the CJK face";

  // Widths keep the half-width rule the layout counts on.
  TCalendarTextCache texts;
  TQtCalendarCanvas canvas(nullptr, TFontOfCalendar{}, TCalendarColors{}, texts);
  EXPECT_EQ(canvas.TextWidth(GbkLiteral("2026年")), 36);
  EXPECT_EQ(canvas.TextWidth("31"), 12);
  EXPECT_EQ(canvas.TextHeight("31"), 12);
}

TEST(CalendarCanvas, WhatItKeepsBetweenPaintsFollowsTheFontAndDrawsTheSamePixels) {
  TCalendarTextCache texts;
  TFontOfCalendar big;
  big.LunarFont.FontSize = 20;
  const std::string lunar = GbkLiteral("十二月廿五"), mark = GbkLiteral("换");
  for (const TFontOfCalendar& fonts : {TFontOfCalendar{}, big, TFontOfCalendar{}}) {
    TQtCalendarCanvas canvas(nullptr, fonts, TCalendarColors{}, texts);
    canvas.SetFont(TCalendarFontRole::Lunar);
    EXPECT_EQ(canvas.TextWidth(lunar), QFontMetrics(CalendarQFont(fonts.LunarFont)).horizontalAdvance(
                                           QString::fromUtf8("十二月廿五")))
        << "size " << fonts.LunarFont.FontSize;
  }
  // A badge copied from the kept picture is the badge drawn in place, in
  // either font and on either call.
  for (const TSampleFont& font : {TSampleFont{}, big.LunarFont, TSampleFont{}}) {
    const QImage kept = DayMarkBadge(mark, font);
    QImage drawn(kept.size(), QImage::Format_RGB32);
    QPainter painter(&drawn);
    TFontOfCalendar fonts;
    fonts.LunarFont = font;
    TCalendarTextCache fresh;
    TQtCalendarCanvas canvas(&painter, fonts, TCalendarColors{}, fresh);
    canvas.SetFont(TCalendarFontRole::Lunar);
    canvas.TCalendarCanvas::DrawBadge({0, 0, drawn.width(), drawn.height()}, mark, TCalendarColorRole::ChangeMark,
                                      TCalendarColorRole::ChangeText);
    painter.end();
    EXPECT_EQ(kept, drawn) << "size " << font.FontSize;
  }
}

TEST_F(CalendarWidget, CellAtInTheYearView) {
  ShowYear(2026);
  TCalendKD day;
  day.Extra = "kept";
  // 2026-08-01: column 9, row 9.
  ASSERT_TRUE(cal.CellAt(9 * 17 + 8, 9 * 25 + 12, day));
  EXPECT_EQ(day.Year, 2026);
  EXPECT_EQ(day.Month, 8);
  EXPECT_EQ(day.Day, 1);
  EXPECT_EQ(Utf8(day.YearName), "丙午马年");
  EXPECT_EQ(Utf8(day.MonthName + day.DayName), "六月十九");
  EXPECT_EQ(day.Extra, "kept");

  EXPECT_FALSE(cal.CellAt(30, 100, day)) << "month label";
  EXPECT_FALSE(cal.CellAt(100, 30, day)) << "weekday header";
  EXPECT_FALSE(cal.CellAt(3 * 17 + 8, 9 * 25 + 12, day)) << "before 2026-08-01";
}

TEST_F(CalendarWidget, CellAtInTheMonthView) {
  ShowMonth(2024, 2);
  TCalendKD day;
  ASSERT_TRUE(cal.CellAt(35, 125, day));
  EXPECT_EQ((std::vector{day.Year, day.Month, day.Day}), (std::vector{2024, 2, 4}));
  EXPECT_EQ(Utf8(day.YearName), "癸卯兔年") << "甲辰 begins on 2024-02-10";
  EXPECT_EQ(Utf8(day.MonthName), "十二月");
  EXPECT_EQ(Utf8(day.DayName), "廿五");
  EXPECT_EQ(Utf8(day.TermName), "立春");

  EXPECT_FALSE(cal.CellAt(35, 25, day)) << "weekday header";
  EXPECT_FALSE(cal.CellAt(35, 75, day)) << "Sunday before the first";
}

TEST_F(CalendarWidget, DaysBeforeTheLunarTablesStillAnswer) {
  ShowMonth(1900, 2);  // begins on a Thursday
  TCalendKD day;
  day.YearName = "stale";
  ASSERT_TRUE(cal.CellAt(35, 125, day));
  EXPECT_EQ((std::vector{day.Year, day.Month, day.Day}), (std::vector{1900, 2, 4}));
  EXPECT_TRUE(day.YearName.empty());
  EXPECT_TRUE(day.MonthName.empty());
  EXPECT_TRUE(day.DayName.empty());
  EXPECT_TRUE(day.TermName.empty());
}

TEST(CalendarWidgetDates, ForwardToTheCalendar) {
  EXPECT_EQ(TCalendar::DaysInMonth(2000, 2), 29);
  EXPECT_EQ(TCalendar::DaysInMonth(1900, 2), 28);
  EXPECT_EQ(TCalendar::DaysInMonth(2026, 4), 30);
  EXPECT_EQ(TCalendar::DayOfWeekOf(2026, 2, 1), 1);
  EXPECT_EQ(TCalendar::DayOfWeekOf(2026, 8, 1), 7);

  TCalendKD leap{2023, 3, 22, {}, {}, {}, {}, {}};
  TCalendar::FillDay(leap);
  EXPECT_EQ(Utf8(leap.MonthName), "闰二月");
  EXPECT_EQ(Utf8(leap.DayName), "初一");
  TCalendKD plain{2023, 2, 20, {}, {}, {}, {}, {}};
  TCalendar::FillDay(plain);
  EXPECT_EQ(Utf8(plain.MonthName), "二月");
  EXPECT_EQ(Utf8(plain.DayName), "初一");
}

}  // namespace
}  // namespace kadrel
