#include "codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace codepage {
namespace {

// iconv works on bytes; UTF-16 is handled as UTF-16LE on this little-endian
// platform so a char16_t array can be handed over directly.
constexpr char kGbk[] = "GBK";
constexpr char kUtf16[] = "UTF-16LE";
constexpr char kUtf8[] = "UTF-8";

enum class OnBadInput { Replace, Fail };

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in` completely. On an invalid or unconvertible input unit the
  // `replacement` bytes are emitted and `skip(in)` input bytes are passed over,
  // or, with OnBadInput::Fail, nullopt is returned.
  template <typename SkipFn>
  std::optional<std::string> Run(std::string_view in, std::string_view replacement, OnBadInput mode,
                                 SkipFn skip) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(in.size() * 2 + 8);
    char buffer[512];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, dst - buffer);
      if (rc != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ (bad or unrepresentable) or EINVAL (truncated sequence at the end).
      if (mode == OnBadInput::Fail) return std::nullopt;
      out.append(replacement);
      size_t n = std::min(skip(std::string_view(src, srcLeft)), srcLeft);
      src += n;
      srcLeft -= n;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

// A converter per thread and direction: iconv descriptors keep shift state and
// must not be shared between threads.
template <const char* To, const char* From>
Converter& Get() {
  thread_local Converter converter(To, From);
  return converter;
}

bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// A bad GBK unit: a lead byte with its trail byte, or a lone byte.
size_t SkipGbkUnit(std::string_view rest) {
  if (rest.size() >= 2 && IsGbkLeadByte(static_cast<unsigned char>(rest[0]))) {
    unsigned char trail = static_cast<unsigned char>(rest[1]);
    if (trail >= 0x40 && trail != 0x7F && trail != 0xFF) return 2;
  }
  return 1;
}

// A bad UTF-16LE unit: one code unit, or a whole surrogate pair that the
// target cannot represent.
size_t SkipUtf16Unit(std::string_view rest) {
  if (rest.size() < 2) return rest.size();
  unsigned unit = static_cast<unsigned char>(rest[0]) | static_cast<unsigned char>(rest[1]) << 8;
  if (unit >= 0xD800 && unit <= 0xDBFF && rest.size() >= 4) {
    unsigned next = static_cast<unsigned char>(rest[2]) | static_cast<unsigned char>(rest[3]) << 8;
    if (next >= 0xDC00 && next <= 0xDFFF) return 4;
  }
  return 2;
}

// A bad UTF-8 sequence: the lead byte and the continuation bytes after it.
size_t SkipUtf8Unit(std::string_view rest) {
  size_t n = 1;
  while (n < rest.size() && n < 4 && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80) ++n;
  return n;
}

std::string_view AsBytes(std::u16string_view s) {
  return {reinterpret_cast<const char*>(s.data()), s.size() * sizeof(char16_t)};
}

std::u16string AsUtf16(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

const std::string kReplacementUtf16{"\xFD\xFF", 2};
const std::string kReplacementUtf8{"\xEF\xBF\xBD"};
const std::string kDefaultGbk(1, kGbkDefaultChar);

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
  return AsUtf16(*Get<kUtf16, kGbk>().Run(gbk, kReplacementUtf16, OnBadInput::Replace, SkipGbkUnit));
}

std::string Utf16ToGbk(std::u16string_view utf16) {
  return *Get<kGbk, kUtf16>().Run(AsBytes(utf16), kDefaultGbk, OnBadInput::Replace, SkipUtf16Unit);
}

std::string GbkToUtf8(std::string_view gbk) {
  return *Get<kUtf8, kGbk>().Run(gbk, kReplacementUtf8, OnBadInput::Replace, SkipGbkUnit);
}

std::string Utf8ToGbk(std::string_view utf8) {
  return *Get<kGbk, kUtf8>().Run(utf8, kDefaultGbk, OnBadInput::Replace, SkipUtf8Unit);
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  return *Get<kUtf8, kUtf16>().Run(AsBytes(utf16), kReplacementUtf8, OnBadInput::Replace, SkipUtf16Unit);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  return AsUtf16(*Get<kUtf16, kUtf8>().Run(utf8, kReplacementUtf16, OnBadInput::Replace, SkipUtf8Unit));
}

std::optional<std::u16string> GbkToUtf16Strict(std::string_view gbk) {
  auto bytes = Get<kUtf16, kGbk>().Run(gbk, {}, OnBadInput::Fail, SkipGbkUnit);
  if (!bytes) return std::nullopt;
  return AsUtf16(*bytes);
}

std::optional<std::string> Utf16ToGbkStrict(std::u16string_view utf16) {
  return Get<kGbk, kUtf16>().Run(AsBytes(utf16), {}, OnBadInput::Fail, SkipUtf16Unit);
}

std::optional<std::string> Utf8ToGbkStrict(std::string_view utf8) {
  return Get<kGbk, kUtf8>().Run(utf8, {}, OnBadInput::Fail, SkipUtf8Unit);
}

size_t GbkPrefixLength(std::string_view gbk, size_t limit) {
  size_t pos = 0;
  while (pos < gbk.size()) {
    size_t unit = IsGbkLeadByte(static_cast<unsigned char>(gbk[pos])) && pos + 1 < gbk.size() ? 2 : 1;
    if (pos + unit > limit) break;
    pos += unit;
  }
  return pos;
}

}  // namespace codepage
