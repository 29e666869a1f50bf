#include "smsservice/journal/sms_journal.h"

#include <cstdio>

namespace {

// FNV-1a: the key only has to tell texts apart, not resist anyone.
uint64_t TextDigest(const char* text) {
  uint64_t hash = 1469598103934665603ull;
  for (; *text != '\0'; ++text) hash = (hash ^ static_cast<uint8_t>(*text)) * 1099511628211ull;
  return hash;
}

}  // namespace

std::string ListingKey(const ModemSms& record, int reference, bool wideReference, int sequence) {
  char tail[64];
  std::snprintf(tail, sizeof tail, "|%c%d|%d|%016llx|%d", wideReference ? 'w' : 'n', reference, sequence,
                static_cast<unsigned long long>(TextDigest(record.text)), record.index);
  return std::string(record.number) + '|' + record.timestamp + tail;
}
