#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/codepage/codepage.h"

namespace com {
namespace {

// The length prefix is the byte count, as the platform keeps it, so that
// SysStringByteLen needs no multiplication and odd byte lengths could exist.
uint32_t* PrefixOf(BSTR text) { return reinterpret_cast<uint32_t*>(text) - 1; }

}  // namespace

BSTR SysAllocStringLen(const char16_t* text, uint32_t length) {
  constexpr uint32_t kMaxLength = (std::numeric_limits<uint32_t>::max() - 8) / sizeof(char16_t);
  if (length > kMaxLength) return nullptr;
  size_t bytes = size_t{length} * sizeof(char16_t);
  auto* block = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(char16_t)));
  if (!block) return nullptr;
  block[0] = static_cast<uint32_t>(bytes);
  auto* chars = reinterpret_cast<char16_t*>(block + 1);
  if (text) std::memcpy(chars, text, bytes);
  else std::memset(chars, 0, bytes);
  chars[length] = u'\0';
  return chars;
}

BSTR SysAllocString(const char16_t* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, static_cast<uint32_t>(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR text) {
  if (text) std::free(PrefixOf(text));
}

uint32_t SysStringByteLen(BSTR text) { return text ? *PrefixOf(text) : 0; }

uint32_t SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(char16_t); }

std::u16string_view BstrView(BSTR text) { return {text ? text : u"", SysStringLen(text)}; }

BSTR BstrFromUtf16(std::u16string_view text) {
  if (text.size() > std::numeric_limits<uint32_t>::max()) return nullptr;
  return SysAllocStringLen(text.empty() ? u"" : text.data(), static_cast<uint32_t>(text.size()));
}

BSTR BstrFromGbk(std::string_view gbk) { return BstrFromUtf16(codepage::GbkToUtf16(gbk)); }

std::string BstrToGbk(BSTR text) { return codepage::Utf16ToGbk(BstrView(text)); }

BSTR BstrFromUtf8(std::string_view utf8) { return BstrFromUtf16(codepage::Utf8ToUtf16(utf8)); }

std::string BstrToUtf8(BSTR text) { return codepage::Utf16ToUtf8(BstrView(text)); }

}  // namespace com
