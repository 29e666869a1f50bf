// The data coding scheme of an SMS (TP-DCS, 3GPP TS 23.038 section 4):
// which alphabet the user data is in, whether it is compressed, and its
// message class, across all the coding groups.
#pragma once

#include <cstdint>

enum class SmsAlphabet { Gsm7Bit, EightBit, Ucs2 };

struct DataCoding {
  SmsAlphabet alphabet = SmsAlphabet::Gsm7Bit;
  bool compressed = false;
  int messageClass = -1;  // 0 to 3, or -1 when the scheme names none
  // A message waiting indication whose text the handset may discard: only
  // the indication counts.
  bool discardText = false;
};

// Reserved codings read as the GSM 7-bit default alphabet, as the
// standard asks of a receiving entity.
DataCoding ReadDataCoding(uint8_t dcs);
