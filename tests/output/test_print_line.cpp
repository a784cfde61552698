// The line printer's page layout on a recording surface: text 12 pixels high
// makes lines of 14, and every byte is 10 pixels wide.
#include "output/uLinePrinter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/uGbk.h"
#include "tests/output/test_print_surface.h"

namespace kadrel {
namespace {

using printtest::TPlacedText;
using printtest::TPrintRecord;
using printtest::TRecordingSurface;

std::string G(std::string_view utf8) { return GbkLiteral(utf8); }

class LinePrinter : public ::testing::Test {
 protected:
  TLinePrinter& Open(int width, int height) {
    surface_ = std::make_unique<TRecordingSurface>(record_, width, height);
    printer_ = std::make_unique<TLinePrinter>(*surface_);
    std::string error;
    EXPECT_TRUE(printer_->Open("job", error)) << error;
    return *printer_;
  }
  void Close() {
    std::string error;
    EXPECT_TRUE(printer_->Close(error)) << error;
  }
  std::vector<int> LinesPerPage() const {
    std::vector<int> counts;
    for (const auto& page : record_.Pages) counts.push_back(static_cast<int>(page.size()));
    return counts;
  }

  TPrintRecord record_;
  std::unique_ptr<TRecordingSurface> surface_;
  std::unique_ptr<TLinePrinter> printer_;
};

struct TPageCase {
  const char* Name;
  int Height;
  int Lines;
  std::vector<int> Expected;
};

void PrintTo(const TPageCase& c, std::ostream* os) { *os << c.Name; }

class PageRule : public LinePrinter, public ::testing::WithParamInterface<TPageCase> {};

// A page H high holds floor(H / 14) - 1 lines; the next line opens a page,
// and no blank page follows the last line.
TEST_P(PageRule, FillsPagesAsTheRuleSays) {
  const TPageCase& c = GetParam();
  TLinePrinter& printer = Open(1000, c.Height);
  for (int i = 0; i < c.Lines; ++i) printer.WriteLine(std::to_string(i));
  Close();
  EXPECT_EQ(LinesPerPage(), c.Expected);
  ASSERT_GE(record_.Pages.size(), 2u);
  EXPECT_EQ(record_.Pages[1].front(), (TPlacedText{0, 0, std::to_string(c.Expected[0])}));
  EXPECT_EQ(record_.Pages[0].back().Y, 14 * (c.Expected[0] - 1));
}

INSTANTIATE_TEST_SUITE_P(
    Heights, PageRule,
    ::testing::Values(TPageCase{"H100_six_per_page", 100, 13, {6, 6, 1}},
                      TPageCase{"H112_exact_multiple_seven", 112, 14, {7, 7}},
                      TPageCase{"H111_just_short_six", 111, 7, {6, 1}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(LinePrinter, WrapsAFullRowBetweenCharactersOnly) {
  // 3月1日 + 4 spaces + 早班 + 8 spaces, four times: 88 bytes. A page 230
  // pixels wide takes 23 bytes; the second piece would end inside the 月 of
  // the third cell unless the cut steps back a byte.
  std::string cell = G("3月1日") + "    " + G("早班") + "        ";
  ASSERT_EQ(cell.size(), 22u);
  std::string row;
  for (int i = 0; i < 4; ++i) row += cell;
  TLinePrinter& printer = Open(230, 10000);
  printer.WriteLine(row);
  printer.WriteLine("next");
  Close();

  const auto& texts = record_.Pages.at(0);
  ASSERT_GE(texts.size(), 5u);
  std::string joined;
  for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
    const TPlacedText& t = texts[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(t.X, 0);
    EXPECT_EQ(t.Y, 14 * static_cast<int>(i));
    EXPECT_LE(static_cast<int>(t.Text.size()) * printtest::kByteWidth, 230);
    EXPECT_TRUE(GbkToUtf8(t.Text).has_value()) << "piece splits a character";
    joined += t.Text;
  }
  EXPECT_EQ(joined, row);
  EXPECT_EQ(texts.back(), (TPlacedText{0, 14 * static_cast<int>(texts.size() - 1), "next"}));
  // Pieces are the longest that fit: 23 bytes unless a character is in the way.
  EXPECT_EQ(texts[0].Text.size(), 23u);
  EXPECT_EQ(texts[1].Text.size(), 22u);
}

TEST_F(LinePrinter, TextThatCannotStartOnAFullLineStartsTheNext) {
  TLinePrinter& printer = Open(90, 1000);
  printer.Write("abcdefgh");  // x = 80: not even 中 fits beside it
  printer.Write(G("中文"));
  Close();
  EXPECT_EQ(record_.Pages[0], (std::vector<TPlacedText>{{0, 0, "abcdefgh"}, {0, 14, G("中文")}}));
}

TEST_F(LinePrinter, APageNarrowerThanACharacterStillPrintsEveryCharacter) {
  Open(15, 1000).WriteLine(G("中a"));
  Close();
  EXPECT_EQ(record_.Texts(), (std::vector<std::string>{G("中"), "a"}));
}

TEST_F(LinePrinter, CarriageReturnIsIgnoredAndLineFeedEndsTheLine) {
  TLinePrinter& printer = Open(1000, 1000);
  printer.Write("ab\rcd\r\n");
  printer.Write("\n");       // an empty line advances by the character height, 12
  printer.Write("ef\nx");
  Close();
  EXPECT_EQ(record_.Pages[0], (std::vector<TPlacedText>{
                                  {0, 0, "ab"}, {20, 0, "cd"}, {0, 26, "ef"}, {0, 40, "x"}}));
}

TEST_F(LinePrinter, TallerTextSetsTheLineHeight) {
  TLinePrinter& printer = Open(1000, 1000);
  printer.Write("a");
  printer.SetFont({"big", 20});  // 24 high
  printer.Write("B");
  printer.SetFont({"small", 8});
  printer.WriteLine("c");  // lower than the line: the height stays 26
  printer.WriteLine("d");
  Close();
  EXPECT_EQ(record_.Pages[0], (std::vector<TPlacedText>{{0, 0, "a"}, {10, 0, "B"}, {20, 0, "c"}, {0, 26, "d"}}));
}

TEST_F(LinePrinter, TabAndFormFeed) {
  TLinePrinter& printer = Open(1000, 1000);
  printer.Write("abc\tX\tY");  // tab stops every 80 pixels
  printer.Write("\fZ");
  Close();
  EXPECT_EQ(LinesPerPage(), (std::vector<int>{3, 1}));
  EXPECT_EQ(record_.Pages[0][1], (TPlacedText{80, 0, "X"}));
  EXPECT_EQ(record_.Pages[0][2], (TPlacedText{160, 0, "Y"}));
  EXPECT_EQ(record_.Pages[1][0], (TPlacedText{0, 0, "Z"}));
}

}  // namespace
}  // namespace kadrel
