#include "smsservice/modem/pdu_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "platform/codepage/codepage.h"
#include "smsservice/modem/partial_table.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr uint8_t kInternationalIsdn = 0x91;
constexpr uint8_t kSubmitFirstOctet = 0x11;  // SMS-SUBMIT, relative validity period
constexpr uint8_t kValidityFiveMinutes = 0x00;
constexpr uint8_t kUserDataHeaderPresent = 0x40;
constexpr uint8_t kConcat8BitRef = 0x00;
constexpr uint8_t kConcat16BitRef = 0x08;
constexpr int kMaxUcs2Units = 128;
constexpr int kMaxUcs2TextBytes = 160;

// A table, not comparisons: finding the end of a PDU is a hot loop.
constexpr auto kIsUpperHex = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
  return table;
}();

bool IsUpperHex(char c) { return kIsUpperHex[static_cast<uint8_t>(c)]; }

bool AllDigits(const char* s) {
  for (; *s; ++s)
    if (*s < '0' || *s > '9') return false;
  return true;
}

// Appends octets to the hex text being built.
class HexWriter {
 public:
  explicit HexWriter(char* out) : out_(out) {}
  void Octet(uint8_t value) {
    out_[pos_++] = kHexDigits[value >> 4];
    out_[pos_++] = kHexDigits[value & 0x0F];
  }
  void Octets(const uint8_t* values, int count) {
    for (int i = 0; i < count; ++i) Octet(values[i]);
  }
  void SwappedNumber(const char* digits) {
    pos_ += SwapDigits(digits, static_cast<int>(std::strlen(digits)), out_ + pos_);
  }
  int Finish() {
    out_[pos_] = '\0';
    return pos_;
  }

 private:
  char* out_;
  int pos_ = 0;
};

// Reads octets of a PDU's hex text; every read is bounded by the PDU's end.
class HexReader {
 public:
  explicit HexReader(std::string_view hex) : hex_(hex) {}
  bool Has(size_t chars) const { return pos_ + chars <= hex_.size(); }
  size_t Remaining() const { return hex_.size() - pos_; }
  uint8_t Octet() {
    uint8_t value;
    HexToBytes(hex_.data() + pos_, 2, &value);
    pos_ += 2;
    return value;
  }
  std::string_view Chars(size_t count) {
    std::string_view s = hex_.substr(pos_, count);
    pos_ += count;
    return s;
  }
  void Skip(size_t chars) { pos_ += chars; }

 private:
  std::string_view hex_;
  size_t pos_ = 0;
};

// Unswaps a semi-octet number into a field, keeping at most the digits that fit.
void ReadNumber(std::string_view swapped, char (&field)[SMS_NUMBER_FIELD]) {
  char digits[512];
  int length = std::min(UnswapDigits(swapped.data(), static_cast<int>(swapped.size()), digits), SMS_NUMBER_FIELD - 1);
  std::memcpy(field, digits, length);
  field[length] = '\0';
}

// Septet k of the user data starts at bit firstBit + 7k; only whole septets
// inside `count` octets are taken.
int UnpackSeptets(const uint8_t* octets, int count, int firstBit, int septets, char* out) {
  int available = (count * 8 - firstBit) / 7;
  int n = std::max(0, std::min(septets, available));
  for (int k = 0; k < n; ++k) {
    int bit = firstBit + 7 * k;
    int value = octets[bit / 8] >> (bit % 8);
    if (bit % 8 > 1) value |= octets[bit / 8 + 1] << (8 - bit % 8);
    out[k] = static_cast<char>(value & 0x7F);
  }
  out[n] = '\0';
  return n;
}

struct Concatenation {
  bool present = false;
  int reference = 0;
  bool wideReference = false;
  int totalParts = 0;
  int sequence = 0;
};

// Finds the concatenation element among the header's information elements.
Concatenation FindConcatenation(const uint8_t* header, int length) {
  Concatenation c;
  for (int i = 0; i + 2 <= length;) {
    int id = header[i], size = header[i + 1];
    const uint8_t* data = header + i + 2;
    if (i + 2 + size > length) break;
    if (id == kConcat8BitRef && size == 3) {
      c = {true, data[0], false, data[1], data[2]};
    } else if (id == kConcat16BitRef && size == 4) {
      c = {true, data[0] << 8 | data[1], true, data[2], data[3]};
    }
    i += 2 + size;
  }
  return c;
}

// The text of the user data, by coding; returns the text length.
int DecodeText(uint8_t dcs, const uint8_t* data, int dataOctets, int headerOctets, int udl, char* out) {
  if (dcs == 0) {
    // UDL counts septets, the header included; the text starts at the first
    // septet boundary after the header.
    int headerSeptets = (headerOctets * 8 + 6) / 7;
    return UnpackSeptets(data, dataOctets, headerSeptets * 7, udl - headerSeptets, out);
  }
  const uint8_t* text = data + headerOctets;
  int textOctets = std::max(0, std::min(udl, dataOctets) - headerOctets);
  if (dcs == 8) return FromUcs2(text, textOctets, out);
  std::memcpy(out, text, textOctets);
  out[textOctets] = '\0';
  return textOctets;
}

int MarkUndecodable(ModemSms& record) {
  record.part = 0;
  return -1;
}

}  // namespace

int HexToBytes(const char* text, int count, uint8_t* out) {
  // Digits are worth character - '0'; anything else character - 7 in the
  // high nibble and character - 55 in the low one, as damaged input.
  static constexpr auto nibbles = [] {
    std::array<std::array<uint8_t, 256>, 2> table{};
    for (int c = 0; c < 256; ++c) {
      bool digit = c >= '0' && c <= '9';
      table[0][c] = static_cast<uint8_t>(digit ? c - '0' : c - 7);
      table[1][c] = static_cast<uint8_t>((digit ? c - '0' : c - 55) & 0x0F);
    }
    return table;
  }();
  for (int i = 0; i < count; i += 2)
    out[i / 2] = static_cast<uint8_t>(nibbles[0][static_cast<uint8_t>(text[i])] << 4 |
                                      nibbles[1][static_cast<uint8_t>(text[i + 1])]);
  return count / 2;
}

int BytesToHex(const uint8_t* octets, int count, char* out) {
  HexWriter writer(out);
  writer.Octets(octets, count);
  return writer.Finish();
}

int Pack7Bit(const char* characters, int count, uint8_t* out) {
  int written = 0;
  uint8_t carry = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t c = static_cast<uint8_t>(characters[i]);
    int shift = i % 8;
    if (shift == 0) {
      carry = c;
      continue;
    }
    out[written++] = static_cast<uint8_t>(carry | c << (8 - shift));
    carry = static_cast<uint8_t>(c >> shift);
  }
  return written;
}

int Unpack7Bit(const uint8_t* octets, int count, char* out) {
  return UnpackSeptets(octets, count, 0, count * 8 / 7, out);
}

int ToUcs2(const char* text, int length, uint8_t* out) {
  char16_t units[kMaxUcs2Units];
  bool complete;
  size_t n = codepage::GbkToUtf16(std::string_view(text, length), units, kMaxUcs2Units, &complete);
  if (!complete) return 0;
  for (size_t i = 0; i < n; ++i) {
    out[2 * i] = static_cast<uint8_t>(units[i] >> 8);
    out[2 * i + 1] = static_cast<uint8_t>(units[i]);
  }
  return static_cast<int>(2 * n);
}

int FromUcs2(const uint8_t* octets, int count, char* out) {
  char16_t units[128];
  int n = std::min(count / 2, 128);  // a user data field holds at most 127 units
  for (int i = 0; i < n; ++i) units[i] = static_cast<char16_t>(octets[2 * i] << 8 | octets[2 * i + 1]);
  size_t length = codepage::Utf16ToGbk(std::u16string_view(units, n), out, kMaxUcs2TextBytes);
  out[length] = '\0';
  return static_cast<int>(length);
}

int SwapDigits(const char* digits, int length, char* out) {
  int i = 0;
  for (; i + 1 < length; i += 2) {
    out[i] = digits[i + 1];
    out[i + 1] = digits[i];
  }
  if (i < length) {
    out[i] = 'F';
    out[i + 1] = digits[i];
    i += 2;
  }
  out[i] = '\0';
  return i;
}

int UnswapDigits(const char* text, int length, char* out) {
  int n = 0;
  for (int i = 0; i + 1 < length; i += 2) {
    out[n++] = text[i + 1];
    out[n++] = text[i];
  }
  if (n > 0 && out[n - 1] == 'F') --n;
  out[n] = '\0';
  return n;
}

const char* SubmitPduRefusal(const ModemSms& record) {
  if (strnlen(record.smsc, SMS_NUMBER_FIELD) > SMS_MAX_DIGITS || !AllDigits(record.smsc))
    return "SMS-centre number is not up to 15 digits";
  size_t numberLength = strnlen(record.number, SMS_NUMBER_FIELD);
  if (numberLength == 0 || numberLength > SMS_MAX_DIGITS || !AllDigits(record.number))
    return "destination is not 1 to 15 digits";
  size_t textLength = strnlen(record.text, SMS_TEXT_FIELD);
  if (textLength == SMS_TEXT_FIELD) return "text has no terminating NUL";
  if (record.dcs == 0) {
    if (textLength > SMS_MAX_SEPTETS) return "7-bit text longer than 160 characters";
    for (size_t i = 0; i < textLength; ++i)
      if (static_cast<uint8_t>(record.text[i]) > 0x7F) return "7-bit text holds a character outside 7 bits";
  } else if (record.dcs == 8) {
    char16_t units[SMS_MAX_UCS2_UNITS];
    bool fits;
    codepage::GbkToUtf16(std::string_view(record.text, textLength), units, SMS_MAX_UCS2_UNITS, &fits);
    if (!fits) return "UCS2 text longer than 70 characters";
  } else if (textLength > SMS_MAX_OCTETS) {
    return "8-bit text longer than 140 octets";
  }
  return nullptr;
}

int EncodeSubmitPdu(const ModemSms& record, char* out) {
  if (SubmitPduRefusal(record) != nullptr) {
    out[0] = '\0';
    return 0;
  }
  HexWriter pdu(out);
  int smscDigits = static_cast<int>(std::strlen(record.smsc));
  pdu.Octet(static_cast<uint8_t>((smscDigits + 1) / 2 + 1));
  pdu.Octet(kInternationalIsdn);
  pdu.SwappedNumber(record.smsc);
  pdu.Octet(kSubmitFirstOctet);
  pdu.Octet(0x00);  // message reference: the modem assigns it
  pdu.Octet(static_cast<uint8_t>(std::strlen(record.number)));
  pdu.Octet(kInternationalIsdn);
  pdu.SwappedNumber(record.number);
  pdu.Octet(record.pid);
  pdu.Octet(record.dcs);
  pdu.Octet(kValidityFiveMinutes);

  uint8_t userData[2 * kMaxUcs2Units];
  int textLength = static_cast<int>(std::strlen(record.text));
  int udl, octets;
  if (record.dcs == 0) {
    udl = textLength;
    octets = Pack7Bit(record.text, textLength + 1, userData);
  } else if (record.dcs == 8) {
    octets = ToUcs2(record.text, textLength, userData);
    udl = octets;
  } else {
    std::memcpy(userData, record.text, textLength);
    octets = udl = textLength;
  }
  pdu.Octet(static_cast<uint8_t>(udl));
  pdu.Octets(userData, octets);
  return pdu.Finish();
}

int SubmitPduCommandLength(const char* pduHex, int hexLength) {
  uint8_t smscLength;
  HexToBytes(pduHex, 2, &smscLength);
  return hexLength / 2 - (smscLength + 1);
}

namespace {

// The service centre, the first octet and the originator; false when the
// PDU ends inside them.
bool ReadAddresses(HexReader& pdu, ModemSms& record, uint8_t& firstOctet) {
  if (!pdu.Has(2)) return false;
  int smscOctets = pdu.Octet();
  if (!pdu.Has(2 * smscOctets)) return false;
  if (smscOctets > 1) {
    pdu.Skip(2);  // type of address
    ReadNumber(pdu.Chars(2 * (smscOctets - 1)), record.smsc);
  } else {
    pdu.Skip(2 * smscOctets);
  }
  if (!pdu.Has(4)) return false;
  firstOctet = pdu.Octet();
  int digits = pdu.Octet();
  digits += digits % 2;
  if (!pdu.Has(2 + digits)) return false;
  pdu.Skip(2);  // type of address, not examined
  ReadNumber(pdu.Chars(digits), record.number);
  return true;
}

}  // namespace

int DecodeDeliverPdu(std::string_view text, ModemSms& record, std::optional<ConcatenationHeader>* header) {
  size_t end = 0;
  while (end < text.size() && IsUpperHex(text[end])) ++end;
  HexReader pdu(text.substr(0, end));

  int16_t index = record.index;
  std::memset(static_cast<void*>(&record), 0, sizeof record);  // a plain record: all zero is fresh
  record.index = index;
  record.part = SMS_PART_COMPLETE;
  record.parts = 1;
  uint8_t firstOctet = 0;
  if (!ReadAddresses(pdu, record, firstOctet) || !pdu.Has(4 + 14 + 2)) return MarkUndecodable(record);
  record.pid = pdu.Octet();
  record.dcs = pdu.Octet();
  char stamp[16];
  int stampLength = UnswapDigits(pdu.Chars(14).data(), 14, stamp);
  std::memcpy(record.timestamp, stamp, stampLength + 1);
  int udl = pdu.Octet();

  uint8_t data[255];
  int dataOctets = static_cast<int>(std::min<size_t>(pdu.Remaining() / 2, sizeof data));
  HexToBytes(pdu.Chars(2 * dataOctets).data(), 2 * dataOctets, data);

  int headerOctets = 0;
  Concatenation concatenation;
  if (firstOctet & kUserDataHeaderPresent) {
    if (dataOctets < 1) return MarkUndecodable(record);
    int headerLength = data[0];
    headerOctets = 1 + headerLength;
    if (headerOctets > dataOctets) return MarkUndecodable(record);
    concatenation = FindConcatenation(data + 1, headerLength);
  }
  int textLength = DecodeText(record.dcs, data, dataOctets, headerOctets, udl, record.text);
  if (!concatenation.present) return textLength;

  record.part = static_cast<int16_t>(concatenation.sequence);
  if (header)
    *header = ConcatenationHeader{concatenation.reference, concatenation.wideReference, concatenation.totalParts,
                                  concatenation.sequence};
  return textLength;
}
