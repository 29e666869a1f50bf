// The AT commands the traffic engine writes, and its reply reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/modem_sms.h"

// The reply to one command, collected over several reads. Large enough for
// a listing of 2,500 messages of full length (about 400 characters each),
// more than any modem's storage holds; a reply that would not fit is judged
// an error.
struct ReplyBuffer {
  static constexpr uint32_t kCapacity = 1024 * 1024;
  uint32_t count = 0;
  char area[kCapacity + 1] = {};

  void Clear();
  std::string_view Text() const { return {area, count}; }
};

// "AT+CMGL=0\r\n"
void ListUnread();
// "AT+CMGD=<index>\r\n", the text both the start-up dialogue and the engine
// write to free a storage slot.
std::string DeleteSmsCommand(int index);
// Writes DeleteSmsCommand(index).
void DeleteSms(int index);
// "AT+CMGS=<length>\r\n", then the PDU and Ctrl-Z once the "\r\n> " prompt
// has come in one read. Returns the bytes of that last write, 0 without the
// prompt (or for a record the encoder refuses: nothing is written then).
int SendPdu(const ModemSms& record);
// Reads once up to 128 bytes onto the buffer and judges what it holds.
ReplyVerdict ReadReply(ReplyBuffer& buffer);
