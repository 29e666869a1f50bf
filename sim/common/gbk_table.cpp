#include "sim/common/gbk_table.h"

#include <array>
#include <cstdint>
#include <iconv.h>
#include <unordered_map>
#include <vector>

namespace simtext {
namespace {

constexpr int kLeadFirst = 0x81, kLeadLast = 0xFE;
constexpr int kTrailFirst = 0x40, kTrailLast = 0xFE;
constexpr int kTrails = kTrailLast - kTrailFirst + 1;

struct Table {
  std::vector<char32_t> toUnicode;  // by (lead, trail); 0 for no character
  std::unordered_map<char32_t, uint16_t> toGbk;

  Table() : toUnicode((kLeadLast - kLeadFirst + 1) * kTrails, 0) {
    iconv_t cd = iconv_open("UTF-32LE", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (int lead = kLeadFirst; lead <= kLeadLast; ++lead) {
      for (int trail = kTrailFirst; trail <= kTrailLast; ++trail) {
        if (trail == 0x7F) continue;
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        unsigned char out[8] = {};
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        size_t inLeft = 2, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || outLeft != 4) continue;
        char32_t code = out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
        toUnicode[(lead - kLeadFirst) * kTrails + (trail - kTrailFirst)] = code;
        toGbk.emplace(code, static_cast<uint16_t>(lead << 8 | trail));
      }
    }
    iconv_close(cd);
  }
};

const Table& TheTable() {
  static const Table table;
  return table;
}

std::optional<std::u32string> DecodeUtf8(std::string_view utf8) {
  std::u32string text;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int length = lead < 0x80 ? 1 : lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || i + length > utf8.size()) return std::nullopt;
    char32_t code = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = code << 6 | (next & 0x3F);
    }
    text += code;
    i += length;
  }
  return text;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// `missing`: what stands for a character GBK lacks; 0 fails the conversion.
std::optional<std::string> ToGbk(std::string_view utf8, char missing) {
  std::optional<std::u32string> text = DecodeUtf8(utf8);
  if (!text) return std::nullopt;
  std::string gbk;
  for (char32_t c : *text) {
    if (c < 0x80) {
      gbk += static_cast<char>(c);
      continue;
    }
    auto found = TheTable().toGbk.find(c);
    if (found == TheTable().toGbk.end()) {
      if (!missing) return std::nullopt;
      gbk += missing;
      continue;
    }
    gbk += static_cast<char>(found->second >> 8);
    gbk += static_cast<char>(found->second & 0xFF);
  }
  return gbk;
}

// `lossy`: U+FFFD for a byte that starts no character, else failure.
std::optional<std::string> FromGbk(std::string_view gbk, bool lossy) {
  std::string utf8;
  for (size_t i = 0; i < gbk.size();) {
    unsigned char lead = static_cast<unsigned char>(gbk[i]);
    if (lead < 0x80) {
      utf8 += static_cast<char>(lead);
      ++i;
      continue;
    }
    char32_t code = 0;
    if (lead >= kLeadFirst && lead <= kLeadLast && i + 1 < gbk.size()) {
      int trail = static_cast<unsigned char>(gbk[i + 1]);
      if (trail >= kTrailFirst && trail <= kTrailLast)
        code = TheTable().toUnicode[(lead - kLeadFirst) * kTrails + (trail - kTrailFirst)];
    }
    if (code == 0) {
      if (!lossy) return std::nullopt;
      AppendUtf8(utf8, 0xFFFD);
      ++i;
      continue;
    }
    AppendUtf8(utf8, code);
    i += 2;
  }
  return utf8;
}

}  // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) { return ToGbk(utf8, 0); }

std::string Utf8ToGbkLossy(std::string_view utf8) { return ToGbk(utf8, '?').value_or(""); }

std::optional<std::string> GbkToUtf8(std::string_view gbk) { return FromGbk(gbk, false); }

std::string GbkToUtf8Lossy(std::string_view gbk) { return *FromGbk(gbk, true); }

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
  std::optional<std::u32string> text = DecodeUtf8(utf8);
  if (!text) return std::nullopt;
  std::u16string units;
  for (char32_t c : *text) {
    if (c < 0x10000) {
      units += static_cast<char16_t>(c);
    } else {
      c -= 0x10000;
      units += static_cast<char16_t>(0xD800 | c >> 10);
      units += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    }
  }
  return units;
}

}  // namespace simtext
