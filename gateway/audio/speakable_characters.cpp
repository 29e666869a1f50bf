#include "gateway/audio/speakable_characters.h"

#include "gateway/audio/chinese_numbers.h"

namespace speakable {

using unicode::DecodeUtf8;
using unicode::IsHan;
using unicode::IsLetter;
namespace {

struct Range {
  char32_t first, last;
};

// Marks that are read as nothing, or as a pause: punctuation, not words.
constexpr Range kPunctuation[] = {
    {0xA0, 0xBF},     {0xD7, 0xD7},     {0xF7, 0xF7},     {0x2000, 0x206F}, {0x2100, 0x214F},
    {0x3000, 0x303F}, {0xFE10, 0xFE1F}, {0xFE30, 0xFE6F}, {0xFF00, 0xFFEF},
};

// Parts of an emoji sequence, not characters of their own.
constexpr Range kJoiners[] = {
    {0x200B, 0x200F}, {0x2060, 0x206F}, {0x20E3, 0x20E3}, {0xFE00, 0xFE0F}, {0x1F3FB, 0x1F3FF}, {0xE0000, 0xE007F},
};

template <size_t N>
bool InRanges(char32_t c, const Range (&ranges)[N]) {
  for (const Range& range : ranges)
    if (c >= range.first && c <= range.last) return true;
  return false;
}

}  // namespace

std::u32string FoldForms(std::u32string text) {
  for (char32_t& c : text) {
    if (c >= 0xFF01 && c <= 0xFF5E && c != U'，') {
      c -= 0xFEE0;
    } else if (c == 0x3000) {
      c = U' ';
    } else if (c == 0x2212 || c == 0x2013 || c == 0xFE63) {
      c = U'-';
    } else if (c == 0x301C) {
      c = U'~';
    } else if (c == 0xFFE5) {
      c = U'¥';
    } else if (c == 0x2028 || c == 0x2029) {
      c = U'\n';
    }
  }
  return text;
}

std::optional<std::u32string> SymbolWord(char32_t c) {
  switch (c) {
    case U'#': return U"井号";
    case U'*': return U"星号";
    case U'&': return U"和";
    case U'+': return U"加";
    case U'=': return U"等于";
    default: break;
  }
  if (c >= 0x2460 && c <= 0x2473) {  // ① to ⑳
    return DecodeUtf8(ChineseQuantity(std::to_string(c - 0x2460 + 1))).text;
  }
  return std::nullopt;
}

bool IsUnspeakable(char32_t c) {
  if (c == U'\t' || c == U'\n' || c == U'\r') return false;
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  if (c < 0x7F || IsHan(c) || IsLetter(c)) return false;
  return !InRanges(c, kJoiners) && !InRanges(c, kPunctuation);
}

}  // namespace speakable
