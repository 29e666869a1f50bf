// A whole "AT+CMGL=0" reply: the "+CMGL:" entries and the PDU after each.
#include <cstring>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/pdu_codec.h"

namespace {

ModemSms records[LISTING_MAX_RECORDS];

// The one call of the listing parser.
int Listing(std::string_view reply) { return ParseListing(reply, records, LISTING_MAX_RECORDS); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PartialTable::Instance().Clear();
  int filled = Listing(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(filled >= 0 && filled <= LISTING_MAX_RECORDS);
  for (int i = 0; i < filled; ++i) FUZZ_CHECK(std::memchr(records[i].text, 0, SMS_TEXT_FIELD) != nullptr);
  // Parts still waiting are freed by this input, not the next: libFuzzer
  // takes an input that allocates more than it frees for a leak and runs it
  // again.
  PartialTable::Instance().Clear();
  return 0;
}
