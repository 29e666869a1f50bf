// The AT commands the traffic engine writes, and its reply reader, on the
// modem's serial line.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/modem_sms.h"
#include "smsservice/modem/serial_line.h"
#include "smsservice/modem/unsolicited_lines.h"

// The reply to one command, collected over several reads. Large enough for
// a listing of 2,500 messages of full length (about 400 characters each),
// more than any modem's storage holds; a reply that would not fit is judged
// an error.
struct ReplyBuffer {
  static constexpr uint32_t kCapacity = 1024 * 1024;
  uint32_t count = 0;
  char area[kCapacity + 1] = {};
  // The unsolicited lines that ReadReply took out of the replies, in order,
  // until the engine empties it; Clear leaves it alone.
  std::vector<UnsolicitedLine> unsolicited;

  // Empties the reply, but for an unfinished line that may be an
  // unsolicited one: its end comes with the next read.
  void Clear();
  std::string_view Text() const { return {area, count}; }
};

// Writes `command` as it stands ("AT+CREG?\r\n").
void WriteCommand(SerialLine& line, std::string_view command);
// "AT+CMGL=0\r\n"
void ListUnread(SerialLine& line);
// "AT+CMGL=4\r\n": read ones too, as a service that stopped after a
// listing leaves its messages marked read.
void ListAll(SerialLine& line);
// "AT+CMGD=<index>\r\n", the text both the start-up dialogue and the engine
// write to free a storage slot.
std::string DeleteSmsCommand(int index);
// Writes DeleteSmsCommand(index).
void DeleteSms(SerialLine& line, int index);
// "AT+CMGS=<length>\r\n" for `record`; its PDU, to write once the prompt has
// come, goes to `pdu` (SUBMIT_PDU_HEX_MAX bytes). False, writing nothing, for
// a record the encoder refuses.
bool AskToSend(SerialLine& line, const ModemSms& record, char* pdu);
// The PDU and Ctrl-Z after the prompt; returns the bytes written.
int WritePdu(SerialLine& line, const char* pdu);
// Escape, which ends a message entry the modem may have begun: a prompt that
// comes after the service gave up would otherwise leave the modem taking
// every later command as message text.
void CancelEntry(SerialLine& line);
// Reads once up to 128 bytes onto the buffer, takes the unsolicited lines
// out and judges what is left.
ReplyVerdict ReadReply(SerialLine& line, ReplyBuffer& buffer);
// With no command under way: waits at most `wait` for the modem to speak
// and reads what it says. Its unsolicited lines are noted in the buffer; the
// rest is dropped, as no command waits for it.
void ListenIdle(SerialLine& line, ReplyBuffer& buffer, std::chrono::milliseconds wait);
