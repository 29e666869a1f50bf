#include "smsservice/server/request_tally.h"

#include <cctype>

#include "common/tp_packet.h"

std::vector<std::pair<std::string, uint64_t>> RequestTally::Counts() const {
  std::vector<std::pair<std::string, uint64_t>> counts;
  uint64_t unknown = 0;
  for (int code = 0; code < 256; ++code) {
    uint64_t count = byCode_[code].load(std::memory_order_relaxed);
    const char* name = TpCommandName(static_cast<uint8_t>(code));
    if (name == nullptr) {
      unknown += count;
      continue;
    }
    // "TP_SMS_FETCH" -> "sms_fetch"
    std::string label;
    for (const char* c = name + 3; *c != '\0'; ++c)
      label += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    if (count > 0) counts.emplace_back(label, count);
  }
  if (unknown > 0) counts.emplace_back("unknown", unknown);
  uint64_t rejected = rejected_.load(std::memory_order_relaxed);
  if (rejected > 0) counts.emplace_back("invalid", rejected);
  return counts;
}

RequestTally& Requests() {
  static RequestTally tally;
  return tally;
}
