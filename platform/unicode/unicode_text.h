// UTF-8 decoding and the few script classes that speech needs: which
// characters the Mandarin voice reads, which the English one.
#pragma once

#include <string>
#include <string_view>

namespace unicode {

struct Decoded {
  std::u32string text;
  // Bytes that were not valid UTF-8 (and surrogate or out-of-range codes),
  // each left out.
  int invalid = 0;
};

Decoded DecodeUtf8(std::string_view utf8);
std::string EncodeUtf8(std::u32string_view text);

inline bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
// CJK ideographs, extensions and compatibility ideographs, and 〇.
bool IsHan(char32_t c);
// Letters of the Latin, Greek and Cyrillic scripts: words a Mandarin voice
// hands to a European one.
bool IsLetter(char32_t c);

}  // namespace unicode
