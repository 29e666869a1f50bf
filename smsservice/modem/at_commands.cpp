#include "smsservice/modem/at_commands.h"

#include <cstdio>
#include <cstring>

#include "smsservice/modem/pdu_codec.h"
#include "smsservice/modem/serial_line.h"

namespace {

constexpr int kReadChunk = 128;

void WriteText(const char* text, int length) { WritePort(text, length); }

}  // namespace

void ReplyBuffer::Clear() {
  std::memset(area, 0, count);
  count = 0;
}

void ListUnread() {
  static const char command[] = "AT+CMGL=0\r\n";
  WriteText(command, sizeof command - 1);
}

std::string DeleteSmsCommand(int index) {
  char command[32];
  int length = std::snprintf(command, sizeof command, "AT+CMGD=%d\r\n", index);
  return std::string(command, length);
}

void DeleteSms(int index) {
  std::string command = DeleteSmsCommand(index);
  WriteText(command.data(), static_cast<int>(command.size()));
}

int SendPdu(const ModemSms& record) {
  char pdu[SUBMIT_PDU_HEX_MAX];
  int hexLength = EncodeSubmitPdu(record, pdu);
  if (hexLength == 0) return 0;
  char command[32];
  int length = std::snprintf(command, sizeof command, "AT+CMGS=%d\r\n", SubmitPduCommandLength(pdu, hexLength));
  WriteText(command, length);

  char prompt[kReadChunk];
  if (ReadPort(prompt, kReadChunk) != 4 || std::memcmp(prompt, "\r\n> ", 4) != 0) return 0;
  pdu[hexLength] = '\x1A';
  return WritePort(pdu, hexLength + 1);
}

ReplyVerdict ReadReply(ReplyBuffer& buffer) {
  char chunk[kReadChunk];
  int got = ReadPort(chunk, kReadChunk);
  if (got <= 0) return REPLY_NONE;
  if (buffer.count + got > ReplyBuffer::kCapacity) return REPLY_ERROR;
  std::memcpy(buffer.area + buffer.count, chunk, got);
  buffer.count += got;
  return JudgeReply(buffer.Text());
}
