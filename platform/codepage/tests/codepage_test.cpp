#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>

namespace {

const std::string kGbkZhongWen = "\xD6\xD0\xCE\xC4";  // 中文
const std::string kUtf8ZhongWen = "\xE4\xB8\xAD\xE6\x96\x87";

TEST(Codepage, RoundTripsChineseAndAscii) {
  EXPECT_EQ(codepage::GbkToUtf16(kGbkZhongWen), u"\u4E2D\u6587");
  EXPECT_EQ(codepage::Utf16ToGbk(u"\u4E2D\u6587 ok"), kGbkZhongWen + " ok");
  EXPECT_EQ(codepage::GbkToUtf8(kGbkZhongWen), kUtf8ZhongWen);
  EXPECT_EQ(codepage::Utf8ToGbk(kUtf8ZhongWen), kGbkZhongWen);
  EXPECT_EQ(codepage::Utf8ToUtf16(kUtf8ZhongWen), u"\u4E2D\u6587");
  EXPECT_EQ(codepage::Utf16ToUtf8(u"\u4E2D\u6587"), kUtf8ZhongWen);
  EXPECT_EQ(codepage::GbkToUtf16(""), u"");
}

TEST(Codepage, BadInputIsReplacedNeverDropped) {
  // A lone lead byte at the end, and an invalid pair in the middle.
  EXPECT_EQ(codepage::GbkToUtf16("a\xD6"), u"a\uFFFD");
  EXPECT_EQ(codepage::GbkToUtf16("\xFF"
                                 "b"),
            u"\uFFFDb");
  EXPECT_EQ(codepage::GbkToUtf8("x\xFFy"), "x\xEF\xBF\xBDy");
  EXPECT_EQ(codepage::GbkToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign of code page 936
  // Characters GBK lacks become '?', one per character, surrogate pairs too.
  EXPECT_EQ(codepage::Utf16ToGbk(u"a\U0001F600b"), "a?b");
  EXPECT_EQ(codepage::Utf16ToGbk(u"\xD800z"), "?z");  // unpaired surrogate
  EXPECT_EQ(codepage::Utf8ToGbk("\xC3\x28"), "?(");
}

TEST(Codepage, StrictVariantsReportLoss) {
  EXPECT_EQ(codepage::Utf8ToGbkStrict(kUtf8ZhongWen), kGbkZhongWen);
  EXPECT_FALSE(codepage::Utf8ToGbkStrict("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(codepage::GbkToUtf16Strict("\xD6"));
  EXPECT_FALSE(codepage::Utf16ToGbkStrict(u"\U0001F600"));
}

TEST(Codepage, PrefixNeverSplitsADoubleByteCharacter) {
  std::string text = "a" + kGbkZhongWen;  // a 中 文: 1 + 2 + 2 bytes
  EXPECT_EQ(codepage::GbkPrefixLength(text, 0), 0u);
  EXPECT_EQ(codepage::GbkPrefixLength(text, 2), 1u);
  EXPECT_EQ(codepage::GbkPrefixLength(text, 3), 3u);
  EXPECT_EQ(codepage::GbkPrefixLength(text, 4), 3u);
  EXPECT_EQ(codepage::GbkPrefixLength(text, 99), 5u);
}

TEST(Codepage, LongTextsConvertWhole) {
  std::string gbk;
  for (int i = 0; i < 2000; ++i) gbk += kGbkZhongWen;
  EXPECT_EQ(codepage::GbkToUtf16(gbk).size(), 4000u);
  EXPECT_EQ(codepage::Utf16ToGbk(codepage::GbkToUtf16(gbk)), gbk);
}

}  // namespace
