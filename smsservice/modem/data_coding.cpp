#include "smsservice/modem/data_coding.h"

DataCoding ReadDataCoding(uint8_t dcs) {
  DataCoding coding;
  int group = dcs >> 4;
  if (group <= 0x7) {  // general data coding, and the same marked for automatic deletion
    coding.compressed = (dcs & 0x20) != 0;
    if (dcs & 0x10) coding.messageClass = dcs & 0x03;
    int alphabet = (dcs >> 2) & 0x03;
    if (alphabet == 1) coding.alphabet = SmsAlphabet::EightBit;
    if (alphabet == 2) coding.alphabet = SmsAlphabet::Ucs2;
  } else if (group == 0xC) {
    coding.discardText = true;
  } else if (group == 0xE) {  // message waiting indication, UCS2 text stored
    coding.alphabet = SmsAlphabet::Ucs2;
  } else if (group == 0xF) {  // data coding and message class
    if (dcs & 0x04) coding.alphabet = SmsAlphabet::EightBit;
    coding.messageClass = dcs & 0x03;
  }
  // 0x8-0xB reserved, 0xD message waiting with 7-bit text stored: the default.
  return coding;
}
