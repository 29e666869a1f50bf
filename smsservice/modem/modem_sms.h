// One SMS inside the SMS service: the send and receive rings, the driver and
// the PDU codec all pass this fixed-size record by value.
#pragma once

#include <cstdint>

inline constexpr int SMS_NUMBER_FIELD = 16;
inline constexpr int SMS_TEXT_FIELD = 1024;
inline constexpr int16_t SMS_PART_COMPLETE = -1;
// The index of a received message no storage slot holds (listings never give it).
inline constexpr int16_t SMS_NOT_STORED = INT16_MIN;

struct ModemSms {
  char smsc[SMS_NUMBER_FIELD] = {};
  char number[SMS_NUMBER_FIELD] = {};  // destination when sending, originator when received
  uint8_t pid = 0;
  uint8_t dcs = 0;  // 0 GSM 7-bit, 8 UCS2, anything else 8-bit data
  char timestamp[SMS_NUMBER_FIELD] = {};
  char text[SMS_TEXT_FIELD] = {};  // NUL-terminated, in the programs' code page
  int16_t index = 0;               // storage slot in the modem, received messages only
  // -1 for a complete message; the sequence number of one part of an
  // incomplete concatenated message; 0 for a listed entry that could not be
  // decoded at all (never delivered, but still deleted from the modem).
  int16_t part = SMS_PART_COMPLETE;
  uint8_t parts = 1;  // how many SMS a received message came in
  // Sends the modem refused for this message itself, across engines, so
  // that a radio cycle in between does not start its count again.
  uint8_t refusals = 0;
  // Its entry in the service's journal; 0 for none.
  int64_t journalId = 0;
};
