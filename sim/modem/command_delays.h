// Reply delays for chosen commands only, on top of the one for every reply:
// a modem that is slow to answer "AT+CPIN?" but quick with "AT".
#pragma once

#include <map>
#include <string>

namespace modemsim {

class CommandDelays {
 public:
  // `name` ("+CPIN", "AT" for the bare command) in any case; 0 ms removes it.
  void Set(const std::string& name, int ms);
  // The delay for a command, given as what follows its "AT" in upper case:
  // the sum of every name that matches.
  int MsFor(const std::string& command) const;
  const std::map<std::string, int>& All() const { return delays_; }

 private:
  std::map<std::string, int> delays_;  // upper-case name -> ms
};

}  // namespace modemsim
