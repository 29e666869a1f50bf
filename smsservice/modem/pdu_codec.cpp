#include "smsservice/modem/pdu_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "platform/codepage/codepage.h"
#include "smsservice/modem/data_coding.h"
#include "smsservice/modem/gsm_alphabet.h"

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

// The GSM septets of a code-page text; false when a character has none.
bool GsmSeptetsOf(const char* text, size_t length, std::string& septets) {
  auto utf16 = codepage::GbkToUtf16Strict(std::string_view(text, length));
  return utf16 && Utf16ToGsmSeptets(*utf16, septets);
}

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
    std::string septets;
    if (!GsmSeptetsOf(record.text, textLength, septets)) return "7-bit text holds a character outside the GSM alphabet";
    if (septets.size() > SMS_MAX_SEPTETS) return "7-bit text longer than 160 septets";
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
    std::string septets;
    GsmSeptetsOf(record.text, static_cast<size_t>(textLength), septets);
    udl = static_cast<int>(septets.size());
    octets = Pack7Bit(septets.c_str(), udl + 1, userData);  // its NUL flushes the last octet
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

constexpr uint8_t kMessageTypeMask = 0x03;
constexpr uint8_t kDeliverType = 0x00;
constexpr uint8_t kStatusReportType = 0x02;
constexpr uint8_t kAlphanumericType = 0x50;  // type of number 101
constexpr uint8_t kTypeOfNumberMask = 0x70;
constexpr uint8_t kPort8Bit = 0x04;
constexpr uint8_t kPort16Bit = 0x05;
// Protocol identifiers whose user data is for the handset, never shown:
// a type 0 message (acknowledged and discarded), ME and SIM data download.
constexpr uint8_t kTypeZeroPid = 0x40;
constexpr uint8_t kMeDownloadPid = 0x7D;
constexpr uint8_t kSimDownloadPid = 0x7F;
constexpr size_t kStampDigits = 12;

// Semi-octets above 9 in a number: "*", "#" and the letters a, b, c.
char NumberCharacter(char nibble) {
  switch (nibble) {
    case 'A': return '*';
    case 'B': return '#';
    case 'C': return 'a';
    case 'D': return 'b';
    case 'E': return 'c';
    default: return nibble;
  }
}

// Unswaps a semi-octet number into a field, keeping at most the digits that
// fit and never more than `digitCount` (the filler of an odd count need not be F).
void ReadNumber(std::string_view swapped, char (&field)[SMS_NUMBER_FIELD], int digitCount = 512) {
  char digits[512];
  int length = std::min(
      {UnswapDigits(swapped.data(), static_cast<int>(swapped.size()), digits), digitCount, SMS_NUMBER_FIELD - 1});
  for (int i = 0; i < length; ++i) field[i] = NumberCharacter(digits[i]);
  field[length] = '\0';
}

// GBK text into a field of `capacity` bytes and its NUL, whole characters only.
size_t PutText(const std::u16string& text, char* field, size_t capacity) {
  size_t length = codepage::Utf16ToGbk(text, field, capacity);
  field[length] = '\0';
  return length;
}

// An alphanumeric originator: `semiOctets` useful semi-octets of packed septets.
void ReadAlphanumeric(std::string_view hex, int semiOctets, char (&field)[SMS_NUMBER_FIELD]) {
  uint8_t octets[128];
  int count = static_cast<int>(std::min<size_t>(hex.size() / 2, sizeof octets));
  HexToBytes(hex.data(), 2 * count, octets);
  char septets[160];
  int n = UnpackSeptets(octets, count, 0, std::min(semiOctets * 4 / 7, 159), septets);
  std::u16string text = GsmSeptetsToUtf16(reinterpret_cast<const uint8_t*>(septets), static_cast<size_t>(n));
  PutText(text, field, SMS_NUMBER_FIELD - 1);
}

// The service centre, the first octet and the originator; false when the
// PDU ends inside them. The originator is not read for other message types.
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
  if (!pdu.Has(2)) return false;
  firstOctet = pdu.Octet();
  if ((firstOctet & kMessageTypeMask) != kDeliverType) return true;
  if (!pdu.Has(4)) return false;
  int semiOctets = pdu.Octet();
  int chars = semiOctets + semiOctets % 2;
  if (!pdu.Has(2 + chars)) return false;
  uint8_t typeOfAddress = pdu.Octet();
  if ((typeOfAddress & kTypeOfNumberMask) == kAlphanumericType)
    ReadAlphanumeric(pdu.Chars(chars), semiOctets, record.number);
  else ReadNumber(pdu.Chars(chars), record.number, semiOctets);
  return true;
}

// Year to second as 12 digits, then the zone in quarter hours: two digits,
// after a "-" west of Greenwich. A zone that is no number is left out.
void ReadTimestamp(std::string_view swapped, char (&field)[SMS_NUMBER_FIELD]) {
  char stamp[16];
  UnswapDigits(swapped.data(), static_cast<int>(swapped.size()), stamp);
  std::memcpy(field, stamp, kStampDigits);
  field[kStampDigits] = '\0';
  // The zone's first semi-octet carries the sign in its top bit.
  auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
  int tens = nibble(swapped[13]), units = nibble(swapped[12]);
  if (units > 9) return;
  char* zone = field + kStampDigits;
  if (tens & 0x08) *zone++ = '-';
  *zone++ = static_cast<char>('0' + (tens & 0x07));
  *zone++ = static_cast<char>('0' + units);
  *zone = '\0';
}

// What the user data header says of the message.
struct HeaderElements {
  std::optional<ConcatenationHeader> concatenation;
  bool portAddressed = false;
};

HeaderElements ReadHeaderElements(const uint8_t* header, int length) {
  HeaderElements found;
  for (int i = 0; i + 2 <= length;) {
    int id = header[i], size = header[i + 1];
    const uint8_t* data = header + i + 2;
    if (i + 2 + size > length) break;
    if (id == kConcat8BitRef && size == 3) {
      found.concatenation = ConcatenationHeader{data[0], false, data[1], data[2]};
    } else if (id == kConcat16BitRef && size == 4) {
      found.concatenation = ConcatenationHeader{data[0] << 8 | data[1], true, data[2], data[3]};
    } else if ((id == kPort8Bit && size == 2) || (id == kPort16Bit && size == 4)) {
      found.portAddressed = true;
    }
    i += 2 + size;
  }
  return found;
}

// The user data as it arrived: its octets, the header's length in octets
// and UDL (septets for 7-bit text, octets otherwise).
struct UserData {
  uint8_t octets[255];
  int count = 0;
  int headerOctets = 0;
  int udl = 0;
};

// UCS2 text without the NUL units that would end it early.
size_t PutUcs2Text(const uint8_t* octets, int count, char* field) {
  std::u16string units;
  for (int i = 0; i + 1 < count; i += 2) {
    auto unit = static_cast<char16_t>(octets[i] << 8 | octets[i + 1]);
    if (unit != 0) units += unit;
  }
  return PutText(units, field, kMaxUcs2TextBytes);
}

// The text of the user data in the code page; false when the data is
// shorter than UDL says.
bool ReadText(const UserData& data, SmsAlphabet alphabet, char* text) {
  if (alphabet == SmsAlphabet::Gsm7Bit) {
    // The text starts at the first septet boundary after the header.
    int headerSeptets = (data.headerOctets * 8 + 6) / 7;
    if ((data.udl * 7 + 7) / 8 > data.count || headerSeptets > data.udl) return false;
    char septets[256];
    int n = UnpackSeptets(data.octets, data.count, headerSeptets * 7, data.udl - headerSeptets, septets);
    PutText(GsmSeptetsToUtf16(reinterpret_cast<const uint8_t*>(septets), static_cast<size_t>(n)), text,
            SMS_TEXT_FIELD - 1);
    return true;
  }
  if (data.udl > data.count || data.headerOctets > data.udl) return false;
  const uint8_t* body = data.octets + data.headerOctets;
  int bodyOctets = data.udl - data.headerOctets;
  if (alphabet == SmsAlphabet::Ucs2) {
    PutUcs2Text(body, bodyOctets, text);
  } else {
    std::memcpy(text, body, bodyOctets);
    text[bodyOctets] = '\0';
  }
  return true;
}

DecodedSms Withhold(DecodedSms decoded, Withheld why) {
  decoded.record.part = 0;
  decoded.concatenation.reset();
  decoded.withheld = why;
  return decoded;
}

// From the protocol identifier on, once the addresses are read.
DecodedSms DecodeDeliverBody(HexReader& pdu, DecodedSms decoded, uint8_t firstOctet) {
  ModemSms& record = decoded.record;
  if (!pdu.Has(4 + 14 + 2)) return Withhold(decoded, Withheld::Undecodable);
  record.pid = pdu.Octet();
  record.dcs = pdu.Octet();
  ReadTimestamp(pdu.Chars(14), record.timestamp);
  auto data = std::make_unique<UserData>();
  data->udl = pdu.Octet();
  data->count = static_cast<int>(std::min<size_t>(pdu.Remaining() / 2, sizeof data->octets));
  HexToBytes(pdu.Chars(2 * data->count).data(), 2 * data->count, data->octets);

  HeaderElements header;
  if (firstOctet & kUserDataHeaderPresent) {
    if (data->count < 1) return Withhold(decoded, Withheld::Undecodable);
    data->headerOctets = 1 + data->octets[0];
    if (data->headerOctets > data->count) return Withhold(decoded, Withheld::Undecodable);
    header = ReadHeaderElements(data->octets + 1, data->octets[0]);
  }
  DataCoding coding = ReadDataCoding(record.dcs);
  if (!ReadText(*data, coding.alphabet, record.text)) return Withhold(decoded, Withheld::Undecodable);
  if (header.portAddressed) return Withhold(decoded, Withheld::PortAddressed);
  if (coding.discardText || record.pid == kTypeZeroPid || record.pid == kMeDownloadPid || record.pid == kSimDownloadPid)
    return Withhold(decoded, Withheld::ForTheHandset);
  if (coding.compressed) return Withhold(decoded, Withheld::Compressed);
  if (header.concatenation) {
    record.part = static_cast<int16_t>(header.concatenation->sequence);
    decoded.concatenation = header.concatenation;
  }
  return decoded;
}

}  // namespace

const char* WithheldReason(Withheld why) {
  switch (why) {
    case Withheld::None: return "a message";
    case Withheld::Undecodable: return "no readable SMS";
    case Withheld::StatusReport: return "a status report, not a message";
    case Withheld::OtherType: return "a PDU that is no SMS-DELIVER";
    case Withheld::PortAddressed: return "data addressed to an application port, not a message";
    case Withheld::ForTheHandset: return "data for the handset or its SIM, not a message";
    case Withheld::Compressed: return "a compressed text, which the service cannot read";
  }
  return "an unknown entry";
}

DecodedSms DecodeListedPdu(std::string_view text, int16_t index) {
  size_t end = 0;
  while (end < text.size() && IsUpperHex(text[end])) ++end;
  HexReader pdu(text.substr(0, end));

  DecodedSms decoded;
  std::memset(static_cast<void*>(&decoded.record), 0, sizeof decoded.record);  // a plain record: all zero is fresh
  decoded.record.index = index;
  decoded.record.part = SMS_PART_COMPLETE;
  decoded.record.parts = 1;
  uint8_t firstOctet = 0;
  if (!ReadAddresses(pdu, decoded.record, firstOctet)) return Withhold(decoded, Withheld::Undecodable);
  switch (firstOctet & kMessageTypeMask) {
    case kDeliverType: return DecodeDeliverBody(pdu, decoded, firstOctet);
    case kStatusReportType: return Withhold(decoded, Withheld::StatusReport);
    default: return Withhold(decoded, Withheld::OtherType);
  }
}

int DecodeDeliverPdu(std::string_view text, ModemSms& record, std::optional<ConcatenationHeader>* header) {
  DecodedSms decoded = DecodeListedPdu(text, record.index);
  record = decoded.record;
  if (header) *header = decoded.concatenation;
  if (decoded.withheld != Withheld::None) return -1;
  return static_cast<int>(std::strlen(record.text));
}
