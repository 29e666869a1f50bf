#include "smsservice/modem/at_replies.h"

#include <cstdint>
#include <optional>

namespace {

bool Contains(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }

// A decimal as "%d" reads it: leading blanks, an optional sign, digits.
std::optional<long> ScanDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value < 100000000) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

// The text after the first `tag`, or nothing when the tag is absent.
std::optional<std::string_view> After(std::string_view text, std::string_view tag) {
  size_t at = text.find(tag);
  if (at == std::string_view::npos) return std::nullopt;
  return text.substr(at + tag.size());
}

}  // namespace

bool HasOk(std::string_view reply) { return Contains(reply, "OK"); }

bool SimReady(std::string_view reply) { return Contains(reply, "READY"); }

bool CheckSignal(std::string_view reply) {
  auto rest = After(reply, "+CSQ:");
  if (!rest) return false;
  long rssi = ScanDecimal(*rest).value_or(99);
  return static_cast<unsigned long>(rssi) <= 31;
}

bool CheckRegistration(std::string_view reply) {
  auto rest = After(reply, "+CREG:");
  if (!rest) return false;
  auto status = After(*rest, ",");
  if (!status) return false;
  auto stat = ScanDecimal(*status);
  return stat && (*stat == 1 || *stat == 5);
}

int ParseStorage(std::string_view reply) {
  auto rest = After(reply, "+CPMS:");
  if (!rest) return 0;
  long used = ScanDecimal(*rest).value_or(0);
  auto afterComma = After(*rest, ",");
  long total = afterComma ? ScanDecimal(*afterComma).value_or(0) : 0;
  if (total < 0 || total > INT16_MAX) total = 0;  // an index must fit the record's storage field
  return used != 0 ? static_cast<int>(total) : 0;
}

int StoredCount(std::string_view reply) {
  auto rest = After(reply, "+CPMS:");
  long used = rest ? ScanDecimal(*rest).value_or(0) : 0;
  return used > 0 && used <= INT16_MAX ? static_cast<int>(used) : 0;
}

bool HasPrompt(std::string_view collected) { return Contains(collected, "\r\n> "); }

ReplyVerdict JudgeReply(std::string_view collected) {
  if (collected.size() < 4) return REPLY_NONE;
  if (Contains(collected, "\r\nOK\r\n")) return REPLY_OK;
  if (Contains(collected, "ERROR")) return REPLY_ERROR;
  return REPLY_NONE;
}
