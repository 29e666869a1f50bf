// GSM 03.40 PDUs as the modem exchanges them in PDU mode: an SMS-SUBMIT for
// "AT+CMGS", and the entries of an "AT+CMGL=0" listing. Pure
// functions: a part of a concatenated message is decoded with the header that
// names its message, and joining the parts is the engine's (partial_table.h).
//
// Hex text is upper case, two digits an octet. Numbers are in semi-octet
// order, F-padded when their digit count is odd.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "smsservice/modem/modem_sms.h"

// One SMS: what the encoder accepts without splitting.
inline constexpr int SMS_MAX_SEPTETS = 160;
inline constexpr int SMS_MAX_UCS2_UNITS = 70;
inline constexpr int SMS_MAX_OCTETS = 140;
inline constexpr int SMS_MAX_DIGITS = 15;
// Room an SMS-SUBMIT PDU needs as hex text, with the caller's Ctrl-Z and NUL.
inline constexpr size_t SUBMIT_PDU_HEX_MAX = 2 * (12 + 2 + 12 + 3 + 1 + SMS_MAX_OCTETS) + 2;

// Converts `count` hex characters (one more when `count` is odd) into octets;
// returns count / 2. Only upper-case digits are valid hex here; anything else
// is converted by the same arithmetic, as damaged input.
int HexToBytes(const char* text, int count, uint8_t* out);
// Writes 2 * count characters and a NUL; returns 2 * count.
int BytesToHex(const uint8_t* octets, int count, char* out);
// Packs 7-bit characters, GSM 03.38 bit order; returns the octet count.
// Passing the length plus the text's NUL flushes the last partial octet.
int Pack7Bit(const char* characters, int count, uint8_t* out);
// Unpacks every septet `count` octets hold, writes a NUL, returns the number
// of characters. Septets are kept as character codes, not mapped.
int Unpack7Bit(const uint8_t* octets, int count, char* out);
// Text in the code page to UTF-16 units, high byte first; 0 octets when the
// text needs more than 128 units. Returns the octet count.
int ToUcs2(const char* text, int length, uint8_t* out);
// UTF-16 units, high byte first, to the code page; at most 160 bytes (never
// half a character), then a NUL. Returns the byte count.
int FromUcs2(const uint8_t* octets, int count, char* out);
// "123" -> "21F3"; writes a NUL; returns the length rounded up to even.
int SwapDigits(const char* digits, int length, char* out);
// "21F3" -> "123"; writes a NUL; returns the digit count.
int UnswapDigits(const char* text, int length, char* out);

// Why the encoder would refuse a record, or nullptr when it accepts it.
const char* SubmitPduRefusal(const ModemSms& record);
// Encodes one SMS-SUBMIT into `out` (at least SUBMIT_PDU_HEX_MAX bytes);
// returns the hex characters written, or 0 when SubmitPduRefusal refuses.
int EncodeSubmitPdu(const ModemSms& record, char* out);
// The length "AT+CMGS=%d" wants: PDU octets less the service-centre part.
int SubmitPduCommandLength(const char* pduHex, int hexLength);

// What the user data header of one part of a concatenated message says.
// An 8-bit and a 16-bit reference of the same value are different messages.
struct ConcatenationHeader {
  int reference = 0;
  bool wideReference = false;
  int totalParts = 0;
  int sequence = 0;
};

// Why a listed entry is not delivered as a text message. Each is still
// deleted from the modem.
enum class Withheld {
  None,
  Undecodable,    // too short for its own header or for the data its UDL counts
  StatusReport,   // SMS-STATUS-REPORT
  OtherType,      // any other message type than SMS-DELIVER
  PortAddressed,  // user data for an application port (WAP push and the like)
  ForTheHandset,  // type 0, data download to the handset or its SIM, or a
                  // message waiting indication whose text may be discarded
  Compressed,     // a compressed text, which the service cannot read
};
// "a status report, not a message" and the like, for the log.
const char* WithheldReason(Withheld why);

// One decoded listing entry: a complete message, a withheld entry
// (record.part 0), or one part (record.part its sequence) with its header.
struct DecodedSms {
  ModemSms record;
  std::optional<ConcatenationHeader> concatenation;
  Withheld withheld = Withheld::None;
};

// Decodes the PDU whose hex text is `pdu` (it ends at the first character
// that cannot belong to it), listed in storage slot `index`. The text is
// converted to the code page from any alphabet the data coding scheme
// names; an alphanumeric originator is decoded as GSM 7-bit text into the
// number field. The time stamp is 12 digits and the zone in quarter hours,
// "-" first west of Greenwich.
DecodedSms DecodeListedPdu(std::string_view pdu, int16_t index);

// The same for one record: returns the length of its text, or -1 when the
// entry is withheld; then `record` is marked part 0. A part of a
// concatenated message gets its sequence number in record.part, and its
// header in `concatenation` when given.
int DecodeDeliverPdu(std::string_view pdu, ModemSms& record,
                     std::optional<ConcatenationHeader>* concatenation = nullptr);
