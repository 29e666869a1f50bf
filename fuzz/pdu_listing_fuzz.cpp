// A whole "AT+CMGL=0" reply: the "+CMGL:" entries and the PDU after each,
// then joined as the engine joins parts.
#include <cstring>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/clock/manual_clock.h"
#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/pdu_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view reply(reinterpret_cast<const char*>(data), size);
  std::vector<DecodedSms> entries = ParseListing(reply);
  FUZZ_CHECK(entries.size() <= static_cast<size_t>(CountListingEntries(reply)));
  // Each input stands alone: no part waits for another input's parts.
  ManualClock clock;
  PartialTable partials(clock);
  std::vector<ModemSms> records = partials.Join(std::move(entries));
  for (const ModemSms& record : records) FUZZ_CHECK(std::memchr(record.text, 0, SMS_TEXT_FIELD) != nullptr);
  return 0;
}
