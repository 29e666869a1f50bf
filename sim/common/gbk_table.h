// The simulators' own text conversions: a GBK table read once from iconv,
// one code at a time, and UTF-8 done by hand. The products convert through
// their code-page layer; a test that compares what the simulator encoded
// with what a product decoded then compares two implementations, so a fault
// in either cannot hide on both sides.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace simtext {

// Nothing when a character has no GBK form, or the UTF-8 is invalid.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);
// "?" for each character GBK lacks.
std::string Utf8ToGbkLossy(std::string_view utf8);
// Nothing when the bytes are not GBK.
std::optional<std::string> GbkToUtf8(std::string_view gbk);
// U+FFFD for each byte that starts no GBK character.
std::string GbkToUtf8Lossy(std::string_view gbk);
// UTF-16 code units; nothing for invalid UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);

}  // namespace simtext
