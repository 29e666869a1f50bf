#include "platform/com/bstr.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

using namespace com;

TEST(Bstr, KeepsLengthPrefixAndTerminator) {
  BSTR s = SysAllocString(u"abc");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(SysStringByteLen(s), 6u);
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 6u);
  EXPECT_EQ(s[3], u'\0');
  SysFreeString(s);
}

TEST(Bstr, HoldsZerosAndTreatsNullAsEmpty) {
  const char16_t withZero[] = {u'a', u'\0', u'b'};
  BSTR s = SysAllocStringLen(withZero, 3);
  EXPECT_EQ(BstrView(s), std::u16string_view(withZero, 3));
  SysFreeString(s);

  BSTR zeros = SysAllocStringLen(nullptr, 2);
  EXPECT_EQ(BstrView(zeros), std::u16string_view(u"\0\0", 2));
  SysFreeString(zeros);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_TRUE(BstrView(nullptr).empty());
  SysFreeString(nullptr);

  UniqueBstr empty(SysAllocString(u""));
  ASSERT_NE(empty, nullptr);  // an empty string is not a null one
  EXPECT_EQ(SysStringLen(empty.get()), 0u);
}

TEST(Bstr, ConvertsToAndFromGbkAndUtf8) {
  const std::string gbk = "\xD6\xD0\xCE\xC4 1";  // 中文 1
  UniqueBstr fromGbk(BstrFromGbk(gbk));
  EXPECT_EQ(BstrView(fromGbk.get()), u"\u4E2D\u6587 1");
  EXPECT_EQ(BstrToGbk(fromGbk.get()), gbk);
  EXPECT_EQ(BstrToUtf8(fromGbk.get()), "\xE4\xB8\xAD\xE6\x96\x87 1");
  UniqueBstr fromUtf8(BstrFromUtf8("\xE4\xB8\xAD"));
  EXPECT_EQ(BstrView(fromUtf8.get()), u"\u4E2D");
  EXPECT_EQ(BstrToGbk(nullptr), "");
}

}  // namespace
