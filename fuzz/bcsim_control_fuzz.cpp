// bcsim's control requests, one JSON object a line, each input on a fresh
// simulated platform. Every line gets one JSON reply that says ok or why not.
#include <algorithm>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/control_reply.h"
#include "fuzz/fuzz_check.h"
#include "sim/broadcast/bcsim/control_protocol.h"

namespace {

using nlohmann::json;

// "load" with a path reads a file: left out, as the fuzzer would name
// devices and block on them. Only a line with the bytes "path" or an escape
// can name that key, so the rest skip a second parse of every line.
bool ReadsAFile(std::string_view line) {
  if (line.find("path") == std::string_view::npos && line.find('\\') == std::string_view::npos) return false;
  json request = json::parse(line, nullptr, false);
  return request.is_object() && request.contains("path") && request.value("cmd", json()) == "load";
}

bool PortSwitch(const std::string& port, bool, std::string& error) {
  if (port == "command" || port == "data" || port == "info") return true;
  error = "no port \"" + port + "\"";
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bcsim::PlatformState state;
  bcsim::ControlProtocol protocol(state, PortSwitch);
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    std::string_view line = text.substr(0, text.find('\n'));
    text.remove_prefix(std::min(text.size(), line.size() + 1));
    if (ReadsAFile(line)) continue;
    FUZZ_CHECK(Answered(protocol.Handle(line, 0)));
  }
  return 0;
}
