// Conversions between the programs' 8-bit code page (GBK, code page 936),
// UTF-16 and UTF-8, over iconv.
//
// Texts inside the programs, in INI files, log files and packets are GBK;
// UTF-16 is what SMS carry in UCS2; UTF-8 is what terminals and Qt see.
// No conversion ever fails outright: a byte sequence that is not valid in the
// source encoding becomes U+FFFD (or '?' when the target is GBK), and a
// character the target cannot represent becomes '?' (GBK) or is kept (UTF-16,
// UTF-8, which represent everything). Callers that must detect loss use the
// `Strict` variants, which return nothing on the first such character.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace codepage {

inline constexpr char16_t kReplacementChar = u'\uFFFD';
inline constexpr char kGbkDefaultChar = '?';

std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view utf16);
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
std::u16string Utf8ToUtf16(std::string_view utf8);

// Lossless variants: nullopt when any input cannot be converted exactly.
std::optional<std::u16string> GbkToUtf16Strict(std::string_view gbk);
std::optional<std::string> Utf16ToGbkStrict(std::u16string_view utf16);
std::optional<std::string> Utf8ToGbkStrict(std::string_view utf8);

// Allocation-free forms for fixed fields: convert whole characters while
// they fit in `capacity`, replacing as above; return the units or bytes
// written and, through `complete`, whether all of the input fitted.
size_t GbkToUtf16(std::string_view gbk, char16_t* out, size_t capacity, bool* complete = nullptr);
size_t Utf16ToGbk(std::u16string_view utf16, char* out, size_t capacity, bool* complete = nullptr);

// Length in bytes of the longest prefix of `gbk` that is at most `limit`
// bytes and does not end inside a double-byte character. Used to cut GBK
// text to a fixed field without leaving half a character behind.
size_t GbkPrefixLength(std::string_view gbk, size_t limit);

}  // namespace codepage
