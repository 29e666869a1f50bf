#include "sim/modem/command_delays.h"

#include <algorithm>
#include <cctype>

namespace modemsim {

void CommandDelays::Set(const std::string& name, int ms) {
  std::string key = name;
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
  if (ms > 0) delays_[key] = ms;
  else delays_.erase(key);
}

int CommandDelays::MsFor(const std::string& command) const {
  int total = 0;
  for (const auto& [name, ms] : delays_) {
    // "AT" names the bare command; every other name is a prefix.
    bool match = name == "AT" ? command.empty() : command.starts_with(name);
    if (match) total += ms;
  }
  return total;
}

}  // namespace modemsim
