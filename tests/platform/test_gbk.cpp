#include <gtest/gtest.h>

#include "platform/uGbk.h"

namespace kadrel {
namespace {

TEST(Gbk, ChineseRoundTripsAsTwoBytesEach) {
  auto gbk = Utf8ToGbk("早班");
  ASSERT_TRUE(gbk);
  EXPECT_EQ(*gbk, "\xD4\xE7\xB0\xE0");
  EXPECT_EQ(GbkToUtf8(*gbk).value(), "早班");
}

TEST(Gbk, FullWidthColonIsA3BA) { EXPECT_EQ(GbkLiteral("："), "\xA3\xBA"); }

TEST(Gbk, RefusesCharactersOutsideGbkInsteadOfReplacingThem) {
  EXPECT_FALSE(Utf8ToGbk("班\xF0\x9F\x98\x80"));  // an emoji
  EXPECT_FALSE(Utf8ToGbk("\xEA\xB0\x80"));        // a Hangul syllable
  EXPECT_FALSE(Utf8ToGbk("\xC3"));                // truncated UTF-8
}

TEST(Gbk, RefusesInvalidGbkAndLossyMarksOnlyTheBadByte) {
  EXPECT_FALSE(GbkToUtf8("A\xFF" "B"));
  EXPECT_EQ(GbkToUtf8Lossy("A\xFF" "B"), "A\xEF\xBF\xBD" "B");
  EXPECT_EQ(GbkToUtf8Lossy("\xD4\xE7\xB0"), "早\xEF\xBF\xBD");
}

TEST(Gbk, LongTextGrowsTheBuffer) {
  std::string utf8;
  for (int i = 0; i < 5000; ++i) utf8 += "班";
  auto gbk = Utf8ToGbk(utf8);
  ASSERT_TRUE(gbk);
  EXPECT_EQ(gbk->size(), 10000u);
}

TEST(Gbk, CutPointNeverSplitsATwoByteCharacter) {
  std::string s = GbkLiteral("早班a");  // 5 bytes
  EXPECT_EQ(GbkCutPoint(s, 5), 5u);
  EXPECT_EQ(GbkCutPoint(s, 4), 4u);
  EXPECT_EQ(GbkCutPoint(s, 3), 2u);
  EXPECT_EQ(GbkCutPoint(s, 1), 0u);
  EXPECT_EQ(GbkCutPoint("abc", 2), 2u);
}

TEST(Gbk, FoldsAsciiLettersButNeverTheSecondByteOfACharacter) {
  EXPECT_EQ(GbkFoldAZ("Li Na_1"), "li na_1");
  EXPECT_EQ(GbkFoldAZ("\x81\x41Z"), "\x81\x41z");  // 丄 keeps its 0x41
  EXPECT_TRUE(GbkEqualFoldAZ("ABC", "abc"));
  EXPECT_FALSE(GbkEqualFoldAZ("\x81\x41", "\x81\x61"));  // 丄 and 乤
  EXPECT_FALSE(GbkEqualFoldAZ("a", "ab"));
}

}  // namespace
}  // namespace kadrel
