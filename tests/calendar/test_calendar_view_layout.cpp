// What the grid draws and where, through a recording canvas whose fonts
// are 12 pixels high (year view) or 16, 16 and 13 (month view), with a
// single-byte character half as wide as a double-byte one.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "calendar/uCalendarLayout.h"
#include "platform/uGbk.h"
#include "test_calendar_view_util.h"

namespace kadrel {
namespace {

using test::TDrawnLine;
using test::TDrawnText;
using test::TRecordingCanvas;
using Color = TCalendarColorRole;
using Font = TCalendarFontRole;

TCalendarGrid Control(int width, int height) {
  TCalendarGrid grid;
  grid.Width = width;
  grid.Height = height;
  return grid;
}

struct TYearView {
  TCalendarGrid Grid = Control(680, 350);
  TRecordingCanvas Canvas{{12, 12, 12}};
  explicit TYearView(int year, int colOffset = 3, int rowOffset = 2) {
    DrawYear(Grid, Canvas, 40, 14, year, colOffset, rowOffset);
  }
};

struct TMonthView {
  TCalendarGrid Grid = Control(490, 348);
  TRecordingCanvas Canvas{{16, 16, 13}};
  TMonthView(int year, int month) {
    Grid.Year = year;
    DrawMonth(Grid, Canvas, 7, 7, month);
  }
};

// The one text drawn at row y (top edge) that reads `utf8`.
TDrawnText TextAt(const TRecordingCanvas& canvas, const std::string& utf8, int y) {
  std::vector<TDrawnText> found;
  for (const TDrawnText& t : canvas.TextsOf(utf8))
    if (t.Y == y) found.push_back(t);
  EXPECT_EQ(found.size(), 1u) << '"' << utf8 << "\" at y = " << y;
  return found.empty() ? TDrawnText{} : found.front();
}

std::set<int> VerticalLinesX(const TRecordingCanvas& canvas) {
  std::set<int> xs;
  for (const TDrawnLine& l : canvas.Lines)
    if (l.X1 == l.X2) xs.insert(l.X1);
  return xs;
}

std::set<int> HorizontalLinesY(const TRecordingCanvas& canvas) {
  std::set<int> ys;
  for (const TDrawnLine& l : canvas.Lines)
    if (l.Y1 == l.Y2) ys.insert(l.Y1);
  return ys;
}

TEST(CalendarLayout, YearViewGridLeavesTheLabelBoxesOpen) {
  const TYearView view(2026);
  ASSERT_FALSE(view.Canvas.Fills.empty());
  const test::TFilledRect& fill = view.Canvas.Fills.front();
  EXPECT_EQ(fill.Color, Color::Back);
  EXPECT_EQ((std::vector{fill.Left, fill.Top, fill.Right, fill.Bottom}), (std::vector{0, 0, 680, 350}));

  std::set<int> xs = {0, 679};
  for (int i = 3; i < 40; ++i) xs.insert(i * 17);
  EXPECT_EQ(VerticalLinesX(view.Canvas), xs) << "no lines at 17 and 34";
  std::set<int> ys = {0, 349};
  for (int j = 2; j <= 14; ++j) ys.insert(j * 25 - 1);
  EXPECT_EQ(HorizontalLinesY(view.Canvas), ys) << "no line at 24";

  for (const TDrawnLine& l : view.Canvas.Lines) EXPECT_EQ(l.Color, Color::Line);
  // The left and top borders run to the far edge, the inner lines one short.
  EXPECT_EQ(view.Canvas.Lines.front(), (TDrawnLine{0, 0, 0, 350, Color::Line}));
  EXPECT_NE(
      std::find(view.Canvas.Lines.begin(), view.Canvas.Lines.end(), TDrawnLine{51, 0, 51, 349, Color::Line}),
      view.Canvas.Lines.end());
}

TEST(CalendarLayout, YearViewWeekdayHeader) {
  const TYearView view(2026);
  // h = 25 / 2 = 12.5, rounded to 12.
  const auto weeks = view.Canvas.TextsOf("周");
  ASSERT_EQ(weeks.size(), 37u) << "one per day column 3..39";
  for (const TDrawnText& t : weeks) EXPECT_EQ(t.Y, 10);
  EXPECT_EQ(weeks.front().X, 3 * 17 + 1);
  EXPECT_EQ(weeks.back().X, 39 * 17 + 1);

  struct {
    int Col;
    const char* Text;
    Color Expected;
  } columns[] = {{3, "日", Color::Weekend}, {4, "一", Color::Day},      {8, "五", Color::Day},
                 {9, "六", Color::Weekend}, {10, "日", Color::Weekend}, {39, "一", Color::Day}};
  for (const auto& c : columns) {
    const auto found = view.Canvas.TextsOf(c.Text);
    const auto at = std::find_if(found.begin(), found.end(),
                                 [&](const TDrawnText& t) { return t.X == c.Col * 17 + 1 && t.Y == 23; });
    ASSERT_NE(at, found.end()) << c.Text << " in column " << c.Col;
    EXPECT_EQ(at->Color, c.Expected) << "column " << c.Col;
    EXPECT_EQ(at->Font, Font::Head);
  }
  EXPECT_EQ(weeks[6].Color, Color::Weekend) << "周 over 六";
  EXPECT_EQ(weeks[1].Color, Color::Day);
}

TEST(CalendarLayout, YearViewLabels) {
  const TYearView view(2026);
  // "一  月" is 36 pixels in a 17-pixel cell: (17 - 36) / 2 = -9, plus one
  // cell, so it is centred on the middle label column.
  const TDrawnText january = TextAt(view.Canvas, "一  月", 2 * 25 + 6);
  EXPECT_EQ(january.X, 8);
  EXPECT_EQ(january.Color, Color::Day);
  EXPECT_EQ(TextAt(view.Canvas, "十  月", 11 * 25 + 6).X, 8);
  EXPECT_EQ(TextAt(view.Canvas, "十二月", 13 * 25 + 6).X, 8);

  const TDrawnText year = TextAt(view.Canvas, "2026年", 12 + 6);
  EXPECT_EQ(year.X, 8);
  EXPECT_EQ(year.Color, Color::Head);
  EXPECT_EQ(year.Font, Font::Head);
  EXPECT_EQ(TextAt(TYearView(1900).Canvas, "1900年", 18).X, 8);
}

TEST(CalendarLayout, YearViewDays) {
  const TYearView view(2026);
  // August 2026 begins on a Saturday: day 1 in column 9, day 31 in 39.
  const int row = 9 * 25 + 6;
  const TDrawnText first = TextAt(view.Canvas, "1", row);
  EXPECT_EQ(first.X, 9 * 17 + 1 + 5);  // a 6-pixel digit: (17 - 6) / 2 = 5
  EXPECT_EQ(first.Color, Color::Weekend);
  EXPECT_EQ(first.Font, Font::Day);
  const TDrawnText last = TextAt(view.Canvas, "31", row);
  EXPECT_EQ(last.X, 39 * 17 + 1 + 2);
  EXPECT_EQ(last.Color, Color::Day) << "a Monday";
  EXPECT_EQ(TextAt(view.Canvas, "2", row).Color, Color::Weekend);

  // February 2026 has 28 days; no "29" anywhere in its row.
  EXPECT_EQ(view.Canvas.TextsOf("29").size(), 11u) << "every month but February";
  EXPECT_EQ(TextAt(view.Canvas, "28", 3 * 25 + 6).X, 30 * 17 + 1 + 2);
  // A leap year's February does have it.
  EXPECT_EQ(TextAt(TYearView(2024).Canvas, "29", 3 * 25 + 6).Color, Color::Day);
}

TEST(CalendarLayout, YearViewOffsetsMoveTheLinesOnly) {
  const TYearView view(2026, 5, 1);
  EXPECT_EQ(view.Grid.ColOffset, 5);
  EXPECT_EQ(view.Grid.RowOffset, 1);
  const std::set<int> xs = VerticalLinesX(view.Canvas);
  EXPECT_EQ(xs.count(51), 0u);
  EXPECT_EQ(xs.count(85), 1u);
  EXPECT_EQ(HorizontalLinesY(view.Canvas).count(24), 1u);
  EXPECT_EQ(view.Canvas.TextsOf("周").front().X, 52) << "texts keep their columns";

  // Negative offsets keep the ones in force.
  TCalendarGrid grid = view.Grid;
  TRecordingCanvas canvas;
  DrawYear(grid, canvas, 40, 14, 2027, -1, 4);
  EXPECT_EQ(grid.ColOffset, 5);
  EXPECT_EQ(grid.RowOffset, 1);
  EXPECT_EQ(grid.Year, 2027);
  EXPECT_TRUE(grid.YearMode);
}

TEST(CalendarLayout, MonthViewGridAndHeader) {
  const TMonthView view(2026, 2);
  EXPECT_FALSE(view.Grid.YearMode);
  EXPECT_EQ(view.Grid.Month, 2);
  EXPECT_EQ(view.Grid.CellWidth, 70);
  EXPECT_EQ(view.Grid.CellHeight, 50);

  EXPECT_EQ(VerticalLinesX(view.Canvas), (std::set<int>{0, 70, 140, 210, 280, 350, 420, 489}));
  // Row lines at j * 50 - 1; the one for j = 0 lies above the picture and
  // the one for j = 7 below it, so the sixth week row is 2 pixels short.
  EXPECT_EQ(HorizontalLinesY(view.Canvas), (std::set<int>{-1, 0, 49, 99, 149, 199, 249, 299, 347, 349}));

  const char* heads[] = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};
  for (int i = 0; i < 7; ++i) {
    const TDrawnText t = TextAt(view.Canvas, heads[i], 17);  // (50 - 16) / 2
    EXPECT_EQ(t.X, i * 70 + 19) << heads[i];                 // (70 - 32) / 2
    EXPECT_EQ(t.Color, i == 0 || i == 6 ? Color::Weekend : Color::Head) << heads[i];
    EXPECT_EQ(t.Font, Font::Head);
  }
}

TEST(CalendarLayout, MonthViewPlacesTheDays) {
  struct {
    int Year, Month, Day, Col, Row;
  } cases[] = {
      {2026, 2, 1, 0, 1},  {2026, 2, 28, 6, 4},  // begins on a Sunday
      {2026, 8, 1, 6, 1},  {2026, 8, 31, 1, 6},  // begins on a Saturday
      {2024, 2, 29, 4, 5},
  };
  for (const auto& c : cases) {
    const TMonthView view(c.Year, c.Month);
    const std::string number = std::to_string(c.Day);
    const TDrawnText t = TextAt(view.Canvas, number, c.Row * 50 + 17);
    const int width = static_cast<int>(number.size()) * 8;
    EXPECT_EQ(t.X, c.Col * 70 + (70 - width) / 2) << c.Year << "-" << c.Month << "-" << c.Day;
    EXPECT_EQ(t.Font, Font::Day);
    EXPECT_EQ(t.Color, c.Col == 0 || c.Col == 6 ? Color::Weekend : Color::Day);
  }

  // February 2026 fills four rows; nothing below them.
  const TMonthView feb(2026, 2);
  for (const TDrawnText& t : feb.Canvas.Texts) EXPECT_LT(t.Y, 250) << t.Text;
  EXPECT_TRUE(feb.Canvas.TextsOf("29").empty());
}

TEST(CalendarLayout, MonthViewLunarTextAndTerm) {
  // 2024-02-04 is a Sunday, the first of the second row: lunar 十二月廿五,
  // the day 立春 begins.
  const TMonthView view(2024, 2);
  const TDrawnText day = TextAt(view.Canvas, "4", 100 + 17);
  EXPECT_EQ(day.X, 31);
  EXPECT_EQ(day.Color, Color::Weekend);

  const TDrawnText lunar = TextAt(view.Canvas, "十二月廿五", 100 + 33);  // (50 - 13) / 1.1
  EXPECT_EQ(lunar.X, 2);                                                 // (70 - 65) / 2
  EXPECT_EQ(lunar.Font, Font::Lunar);
  EXPECT_EQ(lunar.Color, Color::Weekend);
  EXPECT_EQ(lunar.Width, -1);

  const TDrawnText li = TextAt(view.Canvas, "立", 100 + 3);
  // 5 pixels under 立 would be 100 + 21, whose box ends on the lunar text's
  // first row: 春 keeps 2 pixels clear of it instead.
  const TDrawnText chun = TextAt(view.Canvas, "春", 100 + 33 - 2 - 13);
  EXPECT_EQ(li.X, 70 - 13 - 2);
  EXPECT_EQ(chun.X, li.X);
  TCalendarGrid tall = Control(490, 490);
  tall.Year = 2024;
  TRecordingCanvas roomy{{16, 16, 13}};
  DrawMonth(tall, roomy, 7, 7, 2);
  EXPECT_EQ(TextAt(roomy, "春", 140 + 3 + 13 + 5).X, li.X) << "with room, 5 pixels under the first";
  EXPECT_EQ(li.Font, Font::Lunar);
  EXPECT_EQ(li.Color, Color::Weekend);
  EXPECT_TRUE(view.Canvas.TextsOf("立春").empty());

  // A weekday takes the lunar colour; 2024-02-19 (Monday) is 雨水.
  EXPECT_EQ(TextAt(view.Canvas, "正月初十", 200 + 33).Color, Color::Lunar);
  EXPECT_EQ(TextAt(view.Canvas, "雨", 203).Color, Color::Lunar);
  EXPECT_EQ(TextAt(view.Canvas, "雨", 203).X, 70 + 70 - 13 - 2);
  EXPECT_EQ(TextAt(view.Canvas, "水", 218).X, 70 + 70 - 13 - 2);

  // A leap month is named as such.
  const TMonthView leap(2023, 3);
  EXPECT_EQ(leap.Canvas.TextsOf("闰二月初一").size(), 1u);
  EXPECT_EQ(leap.Canvas.TextsOf("二月初一").size(), 0u) << "2023-02-20 is in February";
}

TEST(CalendarLayout, HolidayMarksInTheMonthViewsTopLeftCorner) {
  // February 2024: 春节 days off 02-10..17, make-up workdays 02-04 and 02-18.
  const TMonthView view(2024, 2);
  const auto off = view.Canvas.TextsOf("休");
  const auto work = view.Canvas.TextsOf("班");
  ASSERT_EQ(off.size(), 8u);
  ASSERT_EQ(work.size(), 2u);
  EXPECT_EQ(off.front().X, 6 * 70 + 2) << "02-10, a Saturday";
  EXPECT_EQ(off.front().Y, 100 + 3) << "level with the term on the right";
  EXPECT_EQ(off.front().Color, Color::OffMark);
  EXPECT_EQ(off.front().Font, Font::Lunar);
  EXPECT_EQ(work.front().X, 2) << "02-04, a Sunday";
  EXPECT_EQ(work.front().Y, 100 + 3);
  EXPECT_EQ(work.front().Color, Color::WorkMark);
  EXPECT_EQ(TextAt(view.Canvas, "立", 103).X, 70 - 13 - 2) << "the term keeps its corner";
  EXPECT_TRUE(TMonthView(1999, 10).Canvas.TextsOf("休").empty()) << "no marks before 2000";
}

TEST(CalendarLayout, HolidayGroundsInTheYearView) {
  const TYearView view(2024);
  int offGrounds = 0, workGrounds = 0;
  for (const test::TFilledRect& f : view.Canvas.Fills) {
    offGrounds += f.Color == Color::OffGround;
    workGrounds += f.Color == Color::WorkGround;
  }
  EXPECT_EQ(offGrounds, 30) << "with 06-08 and 06-09, joined to 端午";
  EXPECT_EQ(workGrounds, 8);
  // 2024-02-04 (班): the cell between its lines, and the number on it.
  const TGridCell cell = YearViewCell(2024, 2, 4);
  const auto ground = std::find_if(view.Canvas.Fills.begin(), view.Canvas.Fills.end(), [&](const auto& f) {
    return f.Left == cell.Col * 17 + 1 && f.Top == cell.Row * 25;
  });
  ASSERT_NE(ground, view.Canvas.Fills.end());
  EXPECT_EQ(ground->Color, Color::WorkGround);
  EXPECT_EQ(ground->Right, cell.Col * 17 + 17);
  EXPECT_EQ(ground->Bottom, cell.Row * 25 + 24);
  EXPECT_EQ(TextAt(view.Canvas, "4", 3 * 25 + 6).Background, Color::WorkGround);
  EXPECT_EQ(TextAt(view.Canvas, "4", 4 * 25 + 6).Background, Color::Back) << "2024-03-04 is unmarked";
  EXPECT_EQ(TYearView(1999).Canvas.Fills.size(), 1u);
}

TEST(CalendarLayout, RotaBadgesTakeAFreeSpotAndMoveNothingElse) {
  // February 2024: 02-04 carries 班 and the term 立春, 02-10 carries 休.
  const std::string swapText = GbkLiteral("换"), leaveText = GbkLiteral("假");
  const std::string_view swap = swapText, leave = leaveText;
  const TDayMarks marks = [&](int, int, int d) { return d == 4 ? swap : d == 10 ? leave : std::string_view(); };
  TMonthView plain(2024, 2);
  TMonthView marked(2024, 2);
  marked.Canvas = TRecordingCanvas{{16, 16, 13}};
  DrawMonth(marked.Grid, marked.Canvas, 7, 7, 2, marks);

  const TDrawnText badge = TextAt(marked.Canvas, "换", 100 + 18);
  EXPECT_EQ(badge.X, 3) << "under the 班 of the top-left corner";
  EXPECT_EQ(badge.Color, Color::ChangeText);
  EXPECT_EQ(badge.Background, Color::ChangeMark);
  EXPECT_EQ(TextAt(marked.Canvas, "假", 100 + 18).X, 6 * 70 + 3);
  const TMarkBox box = MonthMarkBox(marked.Grid, 4, 13, 13);
  EXPECT_EQ(box.Bottom, 100 + 32) << "clear of the lunar text at y 133";
  EXPECT_LT(box.Right, 70 / 2 - 8) << "clear of a two-digit day number";

  // Everything the plain month draws is drawn alike, in the same order.
  std::vector<std::string> rest;
  for (const TDrawnText& t : marked.Canvas.Texts)
    if (t.Color != Color::ChangeText) rest.push_back(t.Text + "@" + std::to_string(t.X) + "," + std::to_string(t.Y));
  std::vector<std::string> before;
  for (const TDrawnText& t : plain.Canvas.Texts) before.push_back(t.Text + "@" + std::to_string(t.X) + "," + std::to_string(t.Y));
  EXPECT_EQ(rest, before);
  EXPECT_EQ(marked.Canvas.Lines.size(), plain.Canvas.Lines.size());

  // The year view: a dot at the foot of each marked cell, and only there.
  TCalendarGrid year = Control(680, 350);
  TRecordingCanvas canvas{{12, 12, 12}};
  DrawYear(year, canvas, 40, 14, 2024, 3, 2,
           [&](int, int m, int d) { return m == 2 && d == 4 ? swap : std::string_view(); });
  std::vector<test::TFilledRect> dots;
  for (const auto& f : canvas.Fills)
    if (f.Color == Color::ChangeMark) dots.push_back(f);
  ASSERT_EQ(dots.size(), 1u);
  const TGridCell cell = YearViewCell(2024, 2, 4);
  EXPECT_EQ(dots[0].Left, cell.Col * 17 + 7);
  EXPECT_EQ(dots[0].Top, cell.Row * 25 + 19);
  EXPECT_EQ(dots[0].Right - dots[0].Left, 3);
  EXPECT_EQ(TextAt(canvas, "5", 3 * 25 + 6).Background, Color::Back) << "the next number's ground is its own";
}

TEST(CalendarLayout, ALunarTextWiderThanItsCellStaysInIt) {
  // 2033-12-22, a Thursday in the fourth row, begins the leap eleventh
  // month: "闰十一月初一" is 78 pixels, wider than the cell.
  const TMonthView view(2033, 12);
  const TDrawnText t = TextAt(view.Canvas, "闰十一月初一", 200 + 33);
  EXPECT_EQ(t.X, 4 * 70 + 1);
  EXPECT_EQ(t.Width, 69) << "up to the next line";
  // Five characters still fit as laid out.
  EXPECT_EQ(TextAt(view.Canvas, "十一月三十", 200 + 33).Width, -1);
  // 2033-12-31, a Saturday: the last column ends at the border, x = 489.
  const TDrawnText saturday = TextAt(view.Canvas, "闰十一月初十", 250 + 33);
  EXPECT_EQ(saturday.X, 6 * 70 + 1);
  EXPECT_EQ(saturday.X + saturday.Width, 489) << "clear of the right border";
}

TEST(CalendarLayout, DaysWithoutLunarNames) {
  // 1900 lies before the lunar tables: day numbers, no lunar texts, no terms.
  const TMonthView view(1900, 2);
  int numbers = 0;
  for (const TDrawnText& t : view.Canvas.Texts) {
    EXPECT_NE(t.Font, Font::Lunar) << t.Text;
    if (t.Font == Font::Day) ++numbers;
  }
  EXPECT_EQ(numbers, 28);
  // The last day of the tables still has its names, the first after not.
  EXPECT_EQ(TMonthView(2100, 12).Canvas.TextsOf("31").size(), 1u);
  size_t lunarTexts = 0;
  for (const TDrawnText& t : TMonthView(2100, 12).Canvas.Texts) lunarTexts += t.Font == Font::Lunar;
  EXPECT_GE(lunarTexts, 31u);
  for (const TDrawnText& t : TMonthView(2101, 1).Canvas.Texts) EXPECT_NE(t.Font, Font::Lunar);
}

TEST(CalendarLayout, NoDaysForAMonthThatDoesNotExist) {
  for (int month : {0, 13, -1}) {
    const TMonthView view(2026, month);
    EXPECT_EQ(view.Canvas.Texts.size(), 7u) << "the header only, month " << month;
    EXPECT_EQ(view.Grid.Month, month);
  }
}

TEST(CalendarLayout, DegenerateGridsPaintWithoutDividingByZero) {
  TCalendarGrid grid = Control(680, 350);
  TRecordingCanvas canvas;
  DrawGrid(grid, canvas, 0, 0);
  EXPECT_EQ(grid.CellWidth, 0);
  EXPECT_EQ(canvas.Fills.size(), 1u);

  TCalendarGrid empty = Control(0, 0);
  DrawYear(empty, canvas, 40, 14, 2026, 3, 2);
  DrawMonth(empty, canvas, 7, 7, 8);
  EXPECT_EQ(empty.CellWidth, 0);
  EXPECT_EQ(empty.Month, 8);
}

}  // namespace
}  // namespace kadrel
