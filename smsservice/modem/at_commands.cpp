#include "smsservice/modem/at_commands.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "smsservice/modem/pdu_codec.h"

namespace {

constexpr int kReadChunk = 128;

}  // namespace

void ReplyBuffer::Clear() {
  size_t lastLine = Text().rfind('\n');
  lastLine = lastLine == std::string_view::npos ? 0 : lastLine + 1;
  uint32_t kept = MayBeUnsolicited(Text().substr(lastLine)) ? count - static_cast<uint32_t>(lastLine) : 0;
  std::memmove(area, area + lastLine, kept);
  std::memset(area + kept, 0, count - kept);
  count = kept;
}

void WriteCommand(SerialLine& line, std::string_view command) {
  line.Write(command.data(), static_cast<int>(command.size()));
}

void ListUnread(SerialLine& line) {
  static const char command[] = "AT+CMGL=0\r\n";
  line.Write(command, sizeof command - 1);
}

void ListAll(SerialLine& line) {
  static const char command[] = "AT+CMGL=4\r\n";
  line.Write(command, sizeof command - 1);
}

std::string DeleteSmsCommand(int index) {
  char command[32];
  int length = std::snprintf(command, sizeof command, "AT+CMGD=%d\r\n", index);
  return std::string(command, length);
}

void DeleteSms(SerialLine& line, int index) {
  std::string command = DeleteSmsCommand(index);
  line.Write(command.data(), static_cast<int>(command.size()));
}

bool AskToSend(SerialLine& line, const ModemSms& record, char* pdu) {
  int hexLength = EncodeSubmitPdu(record, pdu);
  if (hexLength == 0) return false;
  char command[32];
  int length = std::snprintf(command, sizeof command, "AT+CMGS=%d\r\n", SubmitPduCommandLength(pdu, hexLength));
  line.Write(command, length);
  return true;
}

int WritePdu(SerialLine& line, const char* pdu) {
  std::string entry = std::string(pdu) + '\x1A';
  return line.Write(entry.data(), static_cast<int>(entry.size()));
}

void CancelEntry(SerialLine& line) { line.Write("\x1B", 1); }

ReplyVerdict ReadReply(SerialLine& line, ReplyBuffer& buffer) {
  char chunk[kReadChunk];
  int got = line.Read(chunk, kReadChunk);
  if (got <= 0) return REPLY_NONE;
  if (buffer.count + got > ReplyBuffer::kCapacity) return REPLY_ERROR;
  std::memcpy(buffer.area + buffer.count, chunk, got);
  uint32_t before = buffer.count;
  buffer.count += got;
  size_t left = TakeOutUnsolicited(buffer.area, buffer.count, before, buffer.unsolicited);
  std::memset(buffer.area + left, 0, buffer.count - left);
  buffer.count = static_cast<uint32_t>(left);
  return JudgeReply(buffer.Text());
}

void ListenIdle(SerialLine& line, ReplyBuffer& buffer, std::chrono::milliseconds wait) {
  buffer.Clear();
  if (!line.WaitForInput(wait)) return;
  ReadReply(line, buffer);
  buffer.Clear();
}
