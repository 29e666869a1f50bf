// GSM 03.40 PDUs as the modem exchanges them in PDU mode: an SMS-SUBMIT for
// "AT+CMGS", and the SMS-DELIVER entries of an "AT+CMGL=0" listing, with
// concatenated messages joined in a process-wide table.
//
// Hex text is upper case, two digits an octet. Numbers are in semi-octet
// order, F-padded when their digit count is odd.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "smsservice/modem/modem_sms.h"

// One SMS: what the encoder accepts without splitting.
inline constexpr int SMS_MAX_SEPTETS = 160;
inline constexpr int SMS_MAX_UCS2_UNITS = 70;
inline constexpr int SMS_MAX_OCTETS = 140;
inline constexpr int SMS_MAX_DIGITS = 15;
// Room an SMS-SUBMIT PDU needs as hex text, with the caller's Ctrl-Z and NUL.
inline constexpr size_t SUBMIT_PDU_HEX_MAX = 2 * (12 + 2 + 12 + 3 + 1 + SMS_MAX_OCTETS) + 2;
// Records enough for the listing of a small storage. A listing marks every
// entry it returns as read, so the engine never relies on this: it sizes its
// records with CountListingEntries.
inline constexpr int LISTING_MAX_RECORDS = 256;

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

// Decodes the SMS-DELIVER whose hex text is `pdu` (it ends at the first
// character that cannot belong to it). Returns the length of its text, or -1
// when the PDU is too short to hold its own header; then `record` is marked
// part 0. A part of a concatenated message goes through the PartialTable.
int DecodeDeliverPdu(std::string_view pdu, ModemSms& record);
// Decodes every "+CMGL:" entry of an "AT+CMGL=0" reply into `records`, at
// most `capacity` of them; returns how many it filled.
int ParseListing(std::string_view reply, ModemSms* records, int capacity = LISTING_MAX_RECORDS);
// The "+CMGL:" entries of a reply: the capacity that leaves none of them out.
int CountListingEntries(std::string_view reply);
