// Modem replies as a read returns them, through every reply check.
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "smsservice/modem/at_replies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view reply(reinterpret_cast<const char*>(data), size);
  HasOk(reply);
  SimReady(reply);
  CheckSignal(reply);
  CheckRegistration(reply);
  int slots = ParseStorage(reply);
  FUZZ_CHECK(slots >= 0 && slots <= INT16_MAX);
  ReplyVerdict verdict = JudgeReply(reply);
  FUZZ_CHECK(verdict == REPLY_NONE || verdict == REPLY_OK || verdict == REPLY_ERROR);
  return 0;
}
