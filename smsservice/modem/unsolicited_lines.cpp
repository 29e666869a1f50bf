#include "smsservice/modem/unsolicited_lines.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::string_view kNewMessage = "+CMTI:";
constexpr std::string_view kRegistration = "+CREG:";
constexpr std::string_view kSignal = "^RSSI:";
constexpr std::string_view kBoot = "^BOOT";
constexpr std::string_view kReady = "RDY";
constexpr std::string_view kSimNotReady = "+CPIN: NOT READY";
constexpr std::string_view kTags[] = {kNewMessage, kRegistration, "^", kReady, kSimNotReady};

std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) line.remove_suffix(1);
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  return line;
}

// A small decimal at the start of `text` after blanks, or -1.
int LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
  int value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value < 100000 ? value * 10 + text[i] - '0' : value;
  return value <= INT16_MAX ? value : -1;
}

// "+CREG: <stat>" alone or with a quoted location is the modem's report;
// two numbers first ("<n>,<stat>") is the answer to a query.
std::optional<UnsolicitedLine> Registration(std::string_view fields) {
  int stat = LeadingNumber(fields);
  if (stat < 0) return std::nullopt;
  size_t comma = fields.find(',');
  if (comma != std::string_view::npos) {
    std::string_view next = fields.substr(comma + 1);
    while (!next.empty() && next.front() == ' ') next.remove_prefix(1);
    if (!next.starts_with('"')) return std::nullopt;
  }
  return UnsolicitedLine{Unsolicited::kRegistration, stat};
}

}  // namespace

std::optional<UnsolicitedLine> ReadUnsolicited(std::string_view line) {
  line = Trimmed(line);
  if (line.starts_with(kNewMessage)) {
    size_t comma = line.find(',');
    int slot = comma == std::string_view::npos ? -1 : LeadingNumber(line.substr(comma + 1));
    return UnsolicitedLine{Unsolicited::kNewMessage, slot};
  }
  if (line.starts_with(kRegistration)) return Registration(line.substr(kRegistration.size()));
  if (line.starts_with(kSignal))
    return UnsolicitedLine{Unsolicited::kSignal, LeadingNumber(line.substr(kSignal.size()))};
  if (line == kReady) return UnsolicitedLine{Unsolicited::kRestarted, 0};
  if (line.starts_with(kBoot)) return UnsolicitedLine{Unsolicited::kRestarted, 1};
  if (line == kSimNotReady) return UnsolicitedLine{Unsolicited::kSimNotReady};
  if (line.starts_with('^')) return UnsolicitedLine{Unsolicited::kOther};
  return std::nullopt;
}

size_t TakeOutUnsolicited(char* text, size_t length, size_t from, std::vector<UnsolicitedLine>& found) {
  const std::string_view all(text, length);
  size_t read = from == 0 ? 0 : all.rfind('\n', from - 1);
  read = read == std::string_view::npos || from == 0 ? 0 : read + 1;
  size_t write = read;
  // Lines move down over the ones taken out; `all` is only read ahead of `write`.
  while (read < length) {
    size_t end = all.find('\n', read);
    size_t next = end == std::string_view::npos ? length : end + 1;
    std::string_view line = all.substr(read, next - read);
    std::optional<UnsolicitedLine> unsolicited;
    if (end != std::string_view::npos) unsolicited = ReadUnsolicited(line);
    if (unsolicited) {
      found.push_back(*unsolicited);
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

bool MayBeUnsolicited(std::string_view unfinishedLine) {
  if (unfinishedLine.empty()) return false;
  for (std::string_view tag : kTags)
    if (tag.starts_with(unfinishedLine) || unfinishedLine.starts_with(tag)) return true;
  return false;
}
