// Strings as components pass them: UTF-16, counted, allocated by the
// component model. A BSTR points at the first character; the 32-bit byte
// length sits just before it and a zero character just after the last, so
// a BSTR may hold zero characters inside. A null BSTR is an empty string to
// every function here. Whoever receives a BSTR frees it with SysFreeString.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace com {

using BSTR = char16_t*;

// Copies a zero-terminated string; null for a null source or no memory.
BSTR SysAllocString(const char16_t* text);
// Copies `length` characters, zeros included; with a null source the
// characters are zero. Null when there is no memory.
BSTR SysAllocStringLen(const char16_t* text, uint32_t length);
void SysFreeString(BSTR text);
// Characters, not counting the terminator; 0 for null.
uint32_t SysStringLen(BSTR text);
uint32_t SysStringByteLen(BSTR text);

// The characters of a BSTR, valid while it lives.
std::u16string_view BstrView(BSTR text);

BSTR BstrFromUtf16(std::u16string_view text);
// Conversions at the boundary to the programs' 8-bit text (GBK) and to
// UTF-8 (wire protocols, file names); see the codepage library for how
// unconvertible characters are replaced.
BSTR BstrFromGbk(std::string_view gbk);
std::string BstrToGbk(BSTR text);
BSTR BstrFromUtf8(std::string_view utf8);
std::string BstrToUtf8(BSTR text);

struct BstrFree {
  void operator()(char16_t* text) const { SysFreeString(text); }
};
// Frees the string when it goes out of scope.
using UniqueBstr = std::unique_ptr<char16_t, BstrFree>;

}  // namespace com
