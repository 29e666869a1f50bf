// Globally unique identifiers as the component model uses them: class,
// interface and type library identifiers. The text form is the registry's
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", whose first three groups are the
// three leading fields read as numbers and whose last two are the eight
// trailing bytes in order.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace com {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
  friend constexpr bool operator==(const Guid&, const Guid&) = default;
};
static_assert(sizeof(Guid) == 16);

using IID = Guid;
using CLSID = Guid;

inline constexpr Guid kNullGuid{};

namespace guid_detail {

constexpr int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `at`; nullopt when any is not a hex digit.
constexpr std::optional<uint32_t> ReadHex(std::string_view text, size_t at, size_t digits) {
  uint32_t value = 0;
  for (size_t i = 0; i < digits; ++i) {
    int v = HexValue(text[at + i]);
    if (v < 0) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(v);
  }
  return value;
}

}  // namespace guid_detail

// Parses the braced text form, digits in either case; nullopt for anything
// else (no braces, wrong grouping, stray characters).
constexpr std::optional<Guid> ParseGuid(std::string_view text) {
  using guid_detail::ReadHex;
  if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' || text[19] != '-' ||
      text[24] != '-')
    return std::nullopt;
  Guid g;
  auto d1 = ReadHex(text, 1, 8);
  auto d2 = ReadHex(text, 10, 4);
  auto d3 = ReadHex(text, 15, 4);
  if (!d1 || !d2 || !d3) return std::nullopt;
  g.data1 = *d1;
  g.data2 = static_cast<uint16_t>(*d2);
  g.data3 = static_cast<uint16_t>(*d3);
  constexpr size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (size_t i = 0; i < 8; ++i) {
    auto b = ReadHex(text, kByteAt[i], 2);
    if (!b) return std::nullopt;
    g.data4[i] = static_cast<uint8_t>(*b);
  }
  return g;
}

// For identifiers written in the source: a malformed literal does not compile.
consteval Guid GuidLiteral(std::string_view text) {
  auto g = ParseGuid(text);
  if (!g) throw "malformed GUID literal";
  return *g;
}

// The braced text form with upper-case digits.
std::string FormatGuid(const Guid& guid);

struct GuidHash {
  size_t operator()(const Guid& guid) const noexcept;
};

}  // namespace com

template <>
struct std::hash<com::Guid> : com::GuidHash {};
