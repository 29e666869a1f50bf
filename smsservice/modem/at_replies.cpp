#include "smsservice/modem/at_replies.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <syslog.h>

#include "platform/log/activity_log.h"

namespace {

constexpr std::string_view kIndicationTag = "+CMTI:";

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

size_t TakeOutIndications(char* text, size_t length, size_t from, std::vector<int>& slots) {
  const std::string_view all(text, length);
  size_t read = from == 0 ? 0 : all.rfind('\n', from - 1);
  read = read == std::string_view::npos || from == 0 ? 0 : read + 1;
  size_t write = read;
  // Lines move down over the ones taken out; `all` is only read ahead of `write`.
  while (read < length) {
    size_t end = all.find('\n', read);
    size_t next = end == std::string_view::npos ? length : end + 1;
    std::string_view line = all.substr(read, next - read);
    if (end != std::string_view::npos && line.starts_with(kIndicationTag)) {
      auto comma = After(line, ",");
      long slot = comma ? ScanDecimal(*comma).value_or(-1) : -1;
      slots.push_back(slot >= 0 && slot <= INT16_MAX ? static_cast<int>(slot) : -1);
      bool crlfBefore = write >= 2 && text[write - 2] == '\r' && text[write - 1] == '\n';
      if (crlfBefore && (write == 2 || text[write - 3] == '\n')) write -= 2;
      else if (write >= 1 && text[write - 1] == '\n' && (write == 1 || text[write - 2] == '\n')) write -= 1;
    } else {
      std::memmove(text + write, text + read, line.size());
      write += line.size();
    }
    read = next;
  }
  return write;
}

bool MayBeIndication(std::string_view unfinishedLine) {
  return !unfinishedLine.empty() &&
         (kIndicationTag.starts_with(unfinishedLine) || unfinishedLine.starts_with(kIndicationTag));
}

bool HasPrompt(std::string_view collected) { return Contains(collected, "\r\n> "); }

ReplyVerdict JudgeReply(std::string_view collected) {
  if (collected.size() < 4) return REPLY_NONE;
  if (Contains(collected, "\r\nOK\r\n")) return REPLY_OK;
  if (Contains(collected, "ERROR")) return REPLY_ERROR;
  return REPLY_NONE;
}

namespace {
constexpr std::string_view kEntry = "+CMGL:";
}  // namespace

int CountListingEntries(std::string_view reply) {
  int count = 0;
  for (size_t at = reply.find(kEntry); at != std::string_view::npos; at = reply.find(kEntry, at + kEntry.size()))
    ++count;
  return count;
}

std::vector<DecodedSms> ParseListing(std::string_view reply) {
  std::vector<DecodedSms> entries;
  size_t pos = 0;
  while (true) {
    size_t entry = reply.find(kEntry, pos);
    if (entry == std::string_view::npos) break;
    size_t cursor = entry + kEntry.size();
    while (cursor < reply.size() && reply[cursor] == ' ') ++cursor;
    int index = 0;
    bool negative = cursor < reply.size() && reply[cursor] == '-';
    if (negative) ++cursor;
    for (; cursor < reply.size() && reply[cursor] >= '0' && reply[cursor] <= '9'; ++cursor)
      index = std::min(index * 10 + (reply[cursor] - '0'), 0x7FFF);
    size_t lineEnd = reply.find('\r', cursor);
    if (lineEnd == std::string_view::npos) break;
    size_t pduStart = std::min(lineEnd + 2, reply.size());
    entries.push_back(DecodeListedPdu(reply.substr(pduStart), static_cast<int16_t>(negative ? -index : index)));
    pos = pduStart;
  }
  return entries;
}

void LogWithheld(const std::vector<DecodedSms>& entries) {
  for (const DecodedSms& entry : entries) {
    if (entry.withheld == Withheld::None) continue;
    // What the service cannot read is worth a warning; reports and data for
    // the handset are normal traffic that simply is not a message.
    bool unreadable = entry.withheld == Withheld::Undecodable || entry.withheld == Withheld::Compressed;
    activity_log::Log(unreadable ? LOG_WARNING : LOG_DEBUG, "slot %d holds %s; deleted", entry.record.index,
                      WithheldReason(entry.withheld));
  }
}
