// modemsim's control requests, one JSON object a line, each input on a fresh
// simulated modem. Every line gets one JSON reply that says ok or why not.
#include <algorithm>
#include <string>
#include <string_view>

#include "fuzz/control_reply.h"
#include "fuzz/fuzz_check.h"
#include "sim/modem/control_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  modemsim::ModemState state(8);
  modemsim::AtEngine engine(state);
  modemsim::ControlProtocol protocol(state, engine, [] {});
  protocol.OnReboot([](int) {});
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    std::string_view line = text.substr(0, text.find('\n'));
    text.remove_prefix(std::min(text.size(), line.size() + 1));
    FUZZ_CHECK(Answered(protocol.Handle(line)));
  }
  return 0;
}
