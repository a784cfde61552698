#include <gtest/gtest.h>

#include <sstream>

#include "platform/uGbk.h"
#include "platform/uTerminalText.h"

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

TEST(TerminalCharset, TheCLocaleAndUnknownNamesMeanUtf8) {
  for (const char* name : {"ANSI_X3.4-1968", "utf8", "UTF-8", "no-such-charset"}) {
    const TTerminalCharset charset(name);
    EXPECT_TRUE(charset.IsUtf8()) << name;
    bool lost = false;
    EXPECT_EQ(charset.FromUtf8("张三\xFF", lost), "张三\xFF") << name;
  }
}

TEST(TerminalCharset, GbkInAndOutNothingSilentlyLost) {
  const TTerminalCharset gbk("GBK");
  ASSERT_FALSE(gbk.IsUtf8());
  EXPECT_EQ(gbk.ToUtf8("\xD5\xC5\xC8\xFD Ann").value(), "张三 Ann");
  EXPECT_FALSE(gbk.ToUtf8("\xD5"));  // half a character
  bool lost = false;
  // A file name of the system's passes as typed; only a character GBK lacks
  // is replaced, and said so.
  EXPECT_EQ(gbk.FromUtf8("张三\t\xD5\xC5", lost), "\xD5\xC5\xC8\xFD\t\xD5\xC5");
  EXPECT_FALSE(lost);
  EXPECT_EQ(gbk.FromUtf8("a\xEA\xB0\x80\xEF\xBF\xBD" "b", lost), "a??b");
  EXPECT_TRUE(lost);
}

TEST(TerminalCharset, JsonAsciiEscapesEveryNonAsciiCharacter) {
  EXPECT_EQ(JsonAscii("{\"n\":\"张\xF0\x9F\x98\x80\xFF\"}"), "{\"n\":\"\\u5f20\\ud83d\\ude00\\ufffd\"}");
}

TEST(TerminalCharset, ACharacterSplitBetweenWritesArrivesWhole) {
  std::ostringstream sink;
  const TTerminalCharset gbk("GBK");
  {
    TTerminalStreamBuf text(sink, gbk);
    std::ostream out(&text);
    for (char c : std::string("班次：夜班\n")) out << c << std::flush;
    EXPECT_FALSE(text.Lost());
  }
  EXPECT_EQ(GbkToUtf8(sink.str()).value(), "班次：夜班\n");
}

}  // namespace
}  // namespace kadrel
