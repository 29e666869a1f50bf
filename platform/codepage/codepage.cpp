#include "platform/codepage/codepage.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace codepage {
namespace {

// GBK and UTF-16 meet through two tables filled from iconv on first use, so
// that iconv stays the one authority on the code page while the per-message
// conversions (every UCS2 SMS) are plain lookups. UTF-8 goes through iconv.
constexpr char16_t kNoUnicode = 0xFFFF;  // a noncharacter: no GBK code maps to it
constexpr uint16_t kNoGbk = 0xFFFF;      // not a GBK code

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsGbkTrail(unsigned char c) { return c >= 0x40 && c != 0x7F && c != 0xFF; }
bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts all of `in`; false on the first unit that cannot be converted.
  bool Convert(const void* in, size_t inSize, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.clear();
    char* src = static_cast<char*>(const_cast<void*>(in));
    size_t srcLeft = inSize;
    char buffer[512];
    while (srcLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, dst - buffer);
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
  }

 private:
  iconv_t cd_;
};

struct GbkTables {
  std::array<char16_t, 0x10000> toUnicode;  // by byte (< 0x100) or lead << 8 | trail
  std::array<uint16_t, 0x10000> toGbk;      // by UTF-16 unit; < 0x100 is one byte

  GbkTables() {
    toUnicode.fill(kNoUnicode);
    toGbk.fill(kNoGbk);
    Iconv decoder("UTF-16LE", "GBK");
    Iconv encoder("GBK", "UTF-16LE");
    std::string out;
    auto decode = [&](uint16_t code, const unsigned char* bytes, size_t n) {
      if (decoder.Convert(bytes, n, out) && out.size() == 2)
        toUnicode[code] =
            static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
    };
    for (unsigned b = 0; b < 0x100; ++b) {
      unsigned char byte = static_cast<unsigned char>(b);
      if (!IsGbkLead(byte)) decode(static_cast<uint16_t>(b), &byte, 1);
    }
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        unsigned char pair[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
        if (IsGbkTrail(pair[1])) decode(static_cast<uint16_t>(lead << 8 | trail), pair, 2);
      }
    for (unsigned u = 0; u < 0x10000; ++u) {
      if (IsHighSurrogate(char16_t(u)) || IsLowSurrogate(char16_t(u))) continue;
      unsigned char unit[2] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8)};
      if (!encoder.Convert(unit, 2, out)) continue;
      if (out.size() == 1) toGbk[u] = static_cast<unsigned char>(out[0]);
      if (out.size() == 2)
        toGbk[u] = static_cast<uint16_t>(static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]));
    }
  }
};

const GbkTables& Tables() {
  static const auto tables = std::make_unique<GbkTables>();
  return *tables;
}

// The decoders below write through `emit`, which returns false when there is
// no room for the unit; they stop there. They return false on the first bad
// input when `strict`.
template <typename Emit>
bool DecodeGbk(std::string_view gbk, bool strict, Emit emit) {
  const auto& table = Tables().toUnicode;
  for (size_t i = 0; i < gbk.size();) {
    unsigned char c = static_cast<unsigned char>(gbk[i]);
    size_t unit = 1;
    char16_t u = kNoUnicode;
    if (!IsGbkLead(c)) {
      u = table[c];
    } else if (i + 1 < gbk.size() && IsGbkTrail(static_cast<unsigned char>(gbk[i + 1]))) {
      unit = 2;  // a well-formed pair, mapped or not, is one character
      u = table[c << 8 | static_cast<unsigned char>(gbk[i + 1])];
    }
    if (u == kNoUnicode) {
      if (strict) return false;
      u = kReplacementChar;
    }
    if (!emit(&u, 1)) return true;
    i += unit;
  }
  return true;
}

template <typename Emit>
bool EncodeGbk(std::u16string_view utf16, bool strict, Emit emit) {
  const auto& table = Tables().toGbk;
  for (size_t i = 0; i < utf16.size(); ++i) {
    char16_t u = utf16[i];
    uint16_t code = table[u];
    char bytes[2];
    size_t n;
    if (code == kNoGbk) {
      if (strict) return false;
      // A surrogate pair is one character, so one default character.
      if (IsHighSurrogate(u) && i + 1 < utf16.size() && IsLowSurrogate(utf16[i + 1])) ++i;
      bytes[0] = kGbkDefaultChar;
      n = 1;
    } else if (code < 0x100) {
      bytes[0] = static_cast<char>(code);
      n = 1;
    } else {
      bytes[0] = static_cast<char>(code >> 8);
      bytes[1] = static_cast<char>(code & 0xFF);
      n = 2;
    }
    if (!emit(bytes, n)) return true;
  }
  return true;
}

template <typename Char>
auto AppendTo(std::basic_string<Char>& out) {
  return [&out](const Char* unit, size_t n) {
    out.append(unit, n);
    return true;
  };
}

template <typename Char>
auto FillBuffer(Char* out, size_t capacity, size_t& written, bool& complete) {
  complete = true;
  return [=, &written, &complete](const Char* unit, size_t n) {
    if (written + n > capacity) return complete = false;
    std::memcpy(out + written, unit, n * sizeof(Char));
    written += n;
    return true;
  };
}

// UTF-8 and UTF-16 through iconv; one descriptor per thread and direction,
// since descriptors keep state.
Iconv& Utf8ToUtf16Converter() {
  thread_local Iconv converter("UTF-16LE", "UTF-8");
  return converter;
}

Iconv& Utf16ToUtf8Converter() {
  thread_local Iconv converter("UTF-8", "UTF-16LE");
  return converter;
}

std::u16string AsUtf16(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

// Converts unit by unit from the first failure on, so bad input costs only
// itself; `unitLength` says how much input one bad unit spans.
template <typename Char, typename UnitLength>
std::string ConvertReplacing(Iconv& converter, std::basic_string_view<Char> in, std::string_view replacement,
                             UnitLength unitLength) {
  std::string out;
  if (converter.Convert(in.data(), in.size() * sizeof(Char), out)) return out;
  out.clear();
  std::string piece;
  for (size_t i = 0; i < in.size();) {
    size_t n = unitLength(in.substr(i));
    if (converter.Convert(in.data() + i, n * sizeof(Char), piece)) out += piece;
    else out += replacement;
    i += n;
  }
  return out;
}

size_t Utf8SequenceLength(std::string_view rest) {
  unsigned char lead = static_cast<unsigned char>(rest[0]);
  size_t want = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
  size_t n = 1;
  while (n < want && n < rest.size() && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80) ++n;
  return n;
}

size_t Utf16SequenceLength(std::u16string_view rest) {
  return rest.size() >= 2 && IsHighSurrogate(rest[0]) && IsLowSurrogate(rest[1]) ? 2 : 1;
}

const std::string kReplacementUtf16{"\xFD\xFF", 2};
const std::string kReplacementUtf8{"\xEF\xBF\xBD"};

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
  std::u16string out;
  out.reserve(gbk.size());
  DecodeGbk(gbk, false, AppendTo(out));
  return out;
}

std::string Utf16ToGbk(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 2);
  EncodeGbk(utf16, false, AppendTo(out));
  return out;
}

std::optional<std::u16string> GbkToUtf16Strict(std::string_view gbk) {
  std::u16string out;
  if (!DecodeGbk(gbk, true, AppendTo(out))) return std::nullopt;
  return out;
}

std::optional<std::string> Utf16ToGbkStrict(std::u16string_view utf16) {
  std::string out;
  if (!EncodeGbk(utf16, true, AppendTo(out))) return std::nullopt;
  return out;
}

size_t GbkToUtf16(std::string_view gbk, char16_t* out, size_t capacity, bool* complete) {
  size_t written = 0;
  bool fitted;
  DecodeGbk(gbk, false, FillBuffer(out, capacity, written, fitted));
  if (complete) *complete = fitted;
  return written;
}

size_t Utf16ToGbk(std::u16string_view utf16, char* out, size_t capacity, bool* complete) {
  size_t written = 0;
  bool fitted;
  EncodeGbk(utf16, false, FillBuffer(out, capacity, written, fitted));
  if (complete) *complete = fitted;
  return written;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  return ConvertReplacing(Utf16ToUtf8Converter(), utf16, kReplacementUtf8, Utf16SequenceLength);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  return AsUtf16(ConvertReplacing(Utf8ToUtf16Converter(), utf8, kReplacementUtf16, Utf8SequenceLength));
}

std::string GbkToUtf8(std::string_view gbk) { return Utf16ToUtf8(GbkToUtf16(gbk)); }
std::string Utf8ToGbk(std::string_view utf8) { return Utf16ToGbk(Utf8ToUtf16(utf8)); }

std::optional<std::string> Utf8ToGbkStrict(std::string_view utf8) {
  std::string utf16;
  if (!Utf8ToUtf16Converter().Convert(utf8.data(), utf8.size(), utf16)) return std::nullopt;
  return Utf16ToGbkStrict(AsUtf16(utf16));
}

size_t GbkPrefixLength(std::string_view gbk, size_t limit) {
  size_t pos = 0;
  while (pos < gbk.size()) {
    size_t unit = IsGbkLead(static_cast<unsigned char>(gbk[pos])) && pos + 1 < gbk.size() ? 2 : 1;
    if (pos + unit > limit) break;
    pos += unit;
  }
  return pos;
}

}  // namespace codepage
