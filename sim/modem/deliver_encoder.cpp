#include "sim/modem/deliver_encoder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "sim/common/gbk_table.h"
#include "sim/modem/gsm_alphabet.h"

namespace modemsim {
namespace {

// TP-MMS set: the centre holds nothing more for this recipient.
constexpr uint8_t kDeliverFirstOctet = 0x04;
constexpr uint8_t kUserDataHeaderIndicator = 0x40;
constexpr uint8_t kInternational = 0x91;
constexpr uint8_t kAlphanumeric = 0xD0;
constexpr uint8_t kConcat8BitRef = 0x00;
constexpr uint8_t kConcat16BitRef = 0x08;
constexpr int kUserDataOctets = 140;
constexpr int kUserDataSeptets = 160;
constexpr int kMaxParts = 255;
constexpr int kMaxNumberDigits = 20;
constexpr int kMaxAlphanumericOctets = 10;

// One character as the coding carries it (septets for 7-bit text, octets
// otherwise). A part boundary never falls inside one, so an escaped GSM
// character, a surrogate pair or a GBK double-byte character stays whole.
using Symbol = std::vector<uint8_t>;

struct Range {
  size_t begin, end;  // symbol indexes
};

// Upper-case hex, as modems list PDUs. The simulator keeps its own hex and
// semi-octet helpers: sharing the service's codec would hide its faults.
std::string Hex(const std::vector<uint8_t>& octets) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(2 * octets.size());
  for (uint8_t octet : octets) {
    hex += kDigits[octet >> 4];
    hex += kDigits[octet & 0x0F];
  }
  return hex;
}

std::string OctetHex(int value) { return Hex({static_cast<uint8_t>(value)}); }

// Digits in swapped semi-octets, an odd count padded with 'F'.
std::string SwappedDigits(const std::string& digits) {
  std::string out;
  for (size_t i = 0; i < digits.size(); i += 2) {
    out += i + 1 < digits.size() ? digits[i + 1] : 'F';
    out += digits[i];
  }
  return out;
}

bool AllDigits(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

std::string Describe(char16_t unit) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(unit));
  return text;
}

std::string ToSymbols(const DeliverMessage& message, std::vector<Symbol>& symbols) {
  if (message.coding == SmsCoding::EightBit) {
    auto gbk = simtext::Utf8ToGbk(message.text);
    if (!gbk) return "text has characters outside GBK";
    for (size_t i = 0; i < gbk->size(); ++i) {
      auto lead = static_cast<uint8_t>((*gbk)[i]);
      if (lead >= 0x81 && i + 1 < gbk->size()) symbols.push_back({lead, static_cast<uint8_t>((*gbk)[++i])});
      else symbols.push_back({lead});
    }
    return {};
  }
  std::optional<std::u16string> text = simtext::Utf8ToUtf16(message.text);
  if (!text) return "text is not UTF-8";
  const std::u16string& units = *text;
  for (size_t i = 0; i < units.size(); ++i) {
    char16_t unit = units[i];
    if (message.coding == SmsCoding::Gsm7) {
      Symbol septets = GsmSeptetsOf(unit);
      if (septets.empty()) return "character " + Describe(unit) + " has no GSM 7-bit form";
      symbols.push_back(std::move(septets));
      continue;
    }
    Symbol octets = {static_cast<uint8_t>(unit >> 8), static_cast<uint8_t>(unit)};
    bool pair =
        unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000;
    if (pair) {
      ++i;
      octets.push_back(static_cast<uint8_t>(units[i] >> 8));
      octets.push_back(static_cast<uint8_t>(units[i]));
    }
    symbols.push_back(std::move(octets));
  }
  return {};
}

// Septets or octets of text one part holds after a header of `headerOctets`.
size_t Capacity(SmsCoding coding, int headerOctets) {
  if (coding == SmsCoding::Gsm7) return kUserDataSeptets - (headerOctets * 8 + 6) / 7;
  return kUserDataOctets - headerOctets;
}

size_t Units(const std::vector<Symbol>& symbols, Range range) {
  size_t units = 0;
  for (size_t i = range.begin; i < range.end; ++i) units += symbols[i].size();
  return units;
}

// As many full parts as the text needs.
std::vector<Range> SplitGreedy(const std::vector<Symbol>& symbols, size_t capacity) {
  std::vector<Range> parts;
  size_t begin = 0, units = 0;
  for (size_t i = 0; i < symbols.size(); ++i) {
    if (units + symbols[i].size() > capacity) {
      parts.push_back({begin, i});
      begin = i;
      units = 0;
    }
    units += symbols[i].size();
  }
  parts.push_back({begin, symbols.size()});
  return parts;
}

// Exactly `count` parts of about the same number of characters.
std::vector<Range> SplitEvenly(const std::vector<Symbol>& symbols, size_t count) {
  std::vector<Range> parts;
  for (size_t k = 0; k < count; ++k) parts.push_back({k * symbols.size() / count, (k + 1) * symbols.size() / count});
  return parts;
}

std::string AddressField(const std::string& originator, std::string& error) {
  std::string digits = originator.starts_with('+') ? originator.substr(1) : originator;
  if (AllDigits(digits)) {
    if (digits.size() > kMaxNumberDigits) error = "originator has more than 20 digits";
    return OctetHex(static_cast<int>(digits.size())) + OctetHex(kInternational) + SwappedDigits(digits);
  }
  std::vector<uint8_t> septets;
  for (char16_t unit : simtext::Utf8ToUtf16(originator).value_or(u"")) {
    Symbol s = GsmSeptetsOf(unit);
    if (s.empty()) error = "originator character " + Describe(unit) + " has no GSM 7-bit form";
    septets.insert(septets.end(), s.begin(), s.end());
  }
  std::vector<uint8_t> packed = PackSeptets(septets, 0);
  if (septets.empty()) error = "originator is empty";
  if (packed.size() > kMaxAlphanumericOctets) error = "alphanumeric originator is longer than 11 characters";
  int semiOctets = static_cast<int>(septets.size() * 7 + 3) / 4;
  return OctetHex(semiOctets) + OctetHex(kAlphanumeric) + Hex(packed);
}

std::string Timestamp(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  auto bcd = [](int value) { return static_cast<uint8_t>((value % 10) << 4 | (value / 10) % 10); };
  long offset = local.tm_gmtoff;
  int quarters = static_cast<int>(std::labs(offset) / 900);
  uint8_t zone = static_cast<uint8_t>(bcd(quarters) | (offset < 0 ? 0x08 : 0));
  return Hex({bcd(local.tm_year % 100), bcd(local.tm_mon + 1), bcd(local.tm_mday), bcd(local.tm_hour),
              bcd(local.tm_min), bcd(local.tm_sec), zone});
}

std::vector<uint8_t> ConcatHeader(const DeliverMessage& message, int total, int sequence) {
  auto count = static_cast<uint8_t>(total), seq = static_cast<uint8_t>(sequence);
  auto ref = static_cast<uint8_t>(message.reference);
  if (!message.wideReference) return {0x05, kConcat8BitRef, 0x03, ref, count, seq};
  return {0x06, kConcat16BitRef, 0x04, static_cast<uint8_t>(message.reference >> 8), ref, count, seq};
}

// TP-UDL and TP-UD of one part.
std::string UserData(SmsCoding coding, const std::vector<uint8_t>& header, const std::vector<Symbol>& symbols,
                     Range range) {
  std::vector<uint8_t> units;
  for (size_t i = range.begin; i < range.end; ++i) units.insert(units.end(), symbols[i].begin(), symbols[i].end());
  int headerOctets = static_cast<int>(header.size());
  if (coding != SmsCoding::Gsm7)
    return OctetHex(headerOctets + static_cast<int>(units.size())) + Hex(header) + Hex(units);
  // The text starts on the first septet boundary after the header; the
  // bits between are fill, and the length counts them as septets.
  int headerSeptets = (headerOctets * 8 + 6) / 7;
  std::vector<uint8_t> text = PackSeptets(units, headerSeptets * 7 - headerOctets * 8);
  return OctetHex(headerSeptets + static_cast<int>(units.size())) + Hex(header) + Hex(text);
}

}  // namespace

DeliverPdus EncodeDeliver(const DeliverMessage& message) {
  DeliverPdus result;
  if (!AllDigits(message.serviceCentre)) return {{}, "service centre is not a number"};
  std::string address = AddressField(message.originator, result.error);
  if (!result.error.empty()) return result;
  std::vector<Symbol> symbols;
  result.error = ToSymbols(message, symbols);
  if (!result.error.empty()) return result;

  int headerOctets = message.wideReference ? 7 : 6;
  bool concatenated = message.parts > 0 || Units(symbols, {0, symbols.size()}) > Capacity(message.coding, 0);
  std::vector<Range> parts;
  if (!concatenated) {
    parts = {{0, symbols.size()}};
  } else if (message.parts == 0) {
    parts = SplitGreedy(symbols, Capacity(message.coding, headerOctets));
  } else if (message.parts > static_cast<int>(symbols.size())) {
    return {{}, "text has fewer characters than parts"};
  } else {
    parts = SplitEvenly(symbols, message.parts);
  }
  if (parts.size() > kMaxParts) return {{}, "text needs more than 255 parts"};
  for (Range part : parts)
    if (Units(symbols, part) > Capacity(message.coding, concatenated ? headerOctets : 0))
      return {{}, "text does not fit " + std::to_string(parts.size()) + " parts"};

  std::string smsc = SwappedDigits(message.serviceCentre);
  std::string head = OctetHex(static_cast<int>(smsc.size()) / 2 + 1) + OctetHex(kInternational) + smsc;
  std::string dcs = message.coding == SmsCoding::Gsm7 ? "00" : message.coding == SmsCoding::Ucs2 ? "08" : "04";
  std::string stamp = Timestamp(message.time);
  for (size_t k = 0; k < parts.size(); ++k) {
    std::vector<uint8_t> header;
    if (concatenated) header = ConcatHeader(message, static_cast<int>(parts.size()), static_cast<int>(k + 1));
    uint8_t first = kDeliverFirstOctet | (concatenated ? kUserDataHeaderIndicator : 0);
    result.pdus.push_back(head + OctetHex(first) + address + "00" + dcs + stamp +
                          UserData(message.coding, header, symbols, parts[k]));
  }
  return result;
}

}  // namespace modemsim
