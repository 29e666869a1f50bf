#include "smsservice/modem/at_replies.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <syslog.h>

#include "platform/log/activity_log.h"

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

bool SimReady(std::string_view reply) {
  auto rest = After(reply, "+CPIN:");
  if (!rest) return false;
  while (!rest->empty() && rest->front() == ' ') rest->remove_prefix(1);
  return rest->starts_with("READY");
}

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

StorageUse ParseStorageUse(std::string_view reply) {
  auto rest = After(reply, "+CPMS:");
  if (!rest) return {};
  // "AT+CPMS?" names the memory first: "+CPMS: "SM",3,50,..."
  if (rest->find('"') < rest->find(',')) rest = After(*rest, ",");
  long used = rest ? ScanDecimal(*rest).value_or(0) : 0;
  auto afterComma = rest ? After(*rest, ",") : std::nullopt;
  long total = afterComma ? ScanDecimal(*afterComma).value_or(0) : 0;
  if (used < 0 || used > INT16_MAX || total < 0 || total > INT16_MAX) return {};
  return {static_cast<int>(used), static_cast<int>(total)};
}

std::optional<int> RegistrationStatus(std::string_view reply) {
  auto rest = After(reply, "+CREG:");
  if (!rest) return std::nullopt;
  auto status = After(*rest, ",");
  auto stat = status ? ScanDecimal(*status) : std::nullopt;
  if (!stat || *stat < 0 || *stat > 5) return std::nullopt;
  return static_cast<int>(*stat);
}

std::optional<int> SignalQuality(std::string_view reply) {
  auto rest = After(reply, "+CSQ:");
  auto rssi = rest ? ScanDecimal(*rest) : std::nullopt;
  if (!rssi) return std::nullopt;
  return *rssi >= 0 && *rssi <= 31 ? static_cast<int>(*rssi) : 99;
}

std::string IdentityText(std::string_view reply) {
  size_t start = 0;
  while (start < reply.size()) {
    size_t end = std::min(reply.find('\n', start), reply.size());
    std::string_view line = reply.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (line.empty() || line.starts_with("AT") || line.starts_with("at") || line == "OK") continue;
    if (line.starts_with('+') && line.find(':') != std::string_view::npos) line = line.substr(line.find(':') + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '"')) line.remove_prefix(1);
    while (!line.empty() && line.back() == '"') line.remove_suffix(1);
    std::string text;
    for (char c : line.substr(0, 40)) text += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? ' ' : c;
    return text;
  }
  return "";
}

std::string FinalResult(std::string_view reply) {
  for (std::string_view code : {"+CMS ERROR:", "+CME ERROR:"}) {
    size_t at = reply.find(code);
    if (at == std::string_view::npos) continue;
    size_t end = reply.find_first_of("\r\n", at);
    return std::string(
        reply.substr(at, std::min<size_t>(end == std::string_view::npos ? reply.size() : end, at + 24) - at));
  }
  if (Contains(reply, "ERROR")) return "ERROR";
  if (Contains(reply, "\r\nOK\r\n")) return "OK";
  return "";
}

SendFailure ClassifySendFailure(std::string_view reply) {
  auto rest = After(reply, "+CMS ERROR:");
  auto cause = rest ? ScanDecimal(*rest) : std::nullopt;
  if (!cause) return SendFailure::kModem;
  switch (*cause) {
    // Network out of order, temporary failure, congestion, resources
    // unavailable; no network service, network time-out.
    case 38:
    case 41:
    case 42:
    case 47:
    case 331:
    case 332: return SendFailure::kNoNetwork;
    // The service centre's number is unknown, or the PDU is bad.
    case 304:
    case 305:
    case 330: return SendFailure::kMessage;
    default: break;
  }
  // The network's and the service centre's causes judge the message; the
  // modem's own (300 and up) judge the modem.
  return *cause < 300 ? SendFailure::kMessage : SendFailure::kModem;
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
