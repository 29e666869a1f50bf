// Modem replies as a read returns them, through every reply check.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
  // Taking indications out only ever removes, and leaves a reply without one as it was.
  std::string rest(reply);
  std::vector<int> indicated;
  rest.resize(TakeOutIndications(rest.data(), rest.size(), size / 2, indicated));
  FUZZ_CHECK(rest.size() <= size);
  FUZZ_CHECK(!indicated.empty() || rest == reply);
  return 0;
}
