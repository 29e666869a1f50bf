// Character classes of the speakable-text rules: full-width forms read as
// ASCII, symbols said as words, and what no voice can say.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/unicode/unicode_text.h"

namespace speakable {

// Full-width digits, letters and signs as their ASCII forms (the
// full-width comma stays, it is the Chinese pause mark), the ideographic
// blank as a blank, minus and en dash as "-", the wave dash as "~", the
// full-width yen as "¥", line and paragraph separators as "\n".
std::u32string FoldForms(std::u32string text);

// "#" -> "井号", "*" -> "星号", "&" -> "和", "+" -> "加", "=" -> "等于",
// circled numbers ① -> "一"; nothing for any other character.
std::optional<std::u32string> SymbolWord(char32_t c);

// Emoji, pictographs, shapes, control characters, private use and the
// scripts the voices cannot read: left out and counted. Punctuation, and
// the joiners and variation selectors inside emoji, are not counted.
bool IsUnspeakable(char32_t c);

}  // namespace speakable
