// One SMS-DELIVER PDU as hex text, as a listing entry hands it to the decoder.
#include <cstring>
#include <optional>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "smsservice/modem/pdu_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ModemSms record;
  std::optional<ConcatenationHeader> concatenation;
  int length = DecodeDeliverPdu(std::string_view(reinterpret_cast<const char*>(data), size), record, &concatenation);
  FUZZ_CHECK(length >= -1 && length < SMS_TEXT_FIELD);
  FUZZ_CHECK(std::memchr(record.text, 0, SMS_TEXT_FIELD) != nullptr);
  FUZZ_CHECK(std::memchr(record.number, 0, SMS_NUMBER_FIELD) != nullptr);
  FUZZ_CHECK(std::memchr(record.smsc, 0, SMS_NUMBER_FIELD) != nullptr);
  FUZZ_CHECK(std::memchr(record.timestamp, 0, SMS_NUMBER_FIELD) != nullptr);
  // A part says which part it is, and only a part has a header.
  FUZZ_CHECK(!concatenation || record.part == concatenation->sequence);
  return 0;
}
