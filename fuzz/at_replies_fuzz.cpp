// Modem replies as a read returns them, through every reply check.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/unsolicited_lines.h"

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
  RegistrationStatus(reply);
  SignalQuality(reply);
  IdentityText(reply);
  FinalResult(reply);
  ClassifySendFailure(reply);
  StorageUse use = ParseStorageUse(reply);
  FUZZ_CHECK(use.used >= 0 && use.total >= 0);
  // Taking unsolicited lines out only ever removes, leaves a reply without
  // one as it was, and takes out nothing a second pass would find again.
  std::string rest(reply);
  std::vector<UnsolicitedLine> found;
  rest.resize(TakeOutUnsolicited(rest.data(), rest.size(), 0, found));
  FUZZ_CHECK(rest.size() <= size);
  FUZZ_CHECK(!found.empty() || rest == reply);
  std::vector<UnsolicitedLine> again;
  std::string second = rest;
  second.resize(TakeOutUnsolicited(second.data(), second.size(), 0, again));
  FUZZ_CHECK(again.empty() && second == rest);
  // Read by the pieces a port returns, the same lines come out.
  std::string cut(reply);
  std::vector<UnsolicitedLine> piecewise;
  size_t length = TakeOutUnsolicited(cut.data(), size / 2, 0, piecewise);
  std::memmove(cut.data() + length, reply.data() + size / 2, size - size / 2);
  length = TakeOutUnsolicited(cut.data(), length + size - size / 2, length, piecewise);
  FUZZ_CHECK(std::string_view(cut.data(), length) == rest && piecewise == found);
  for (const UnsolicitedLine& line : found)
    FUZZ_CHECK(line.kind != Unsolicited::kSignal || (line.value >= -1 && line.value <= INT16_MAX));
  return 0;
}
