// The modem's AT command interpreter. It is fed the bytes a client writes and
// returns what the modem writes back; timing (reply delays, split writes) is
// left to whoever moves the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/modem/modem_state.h"

namespace modemsim {

struct ModemOutput {
  std::string bytes;
  bool reply;  // false for echo, which goes out at once; replies may be delayed
  // What follows "AT" in the command a reply answers, in upper case
  // ("+CPIN?"), for delays that apply to some commands only.
  std::string command;
};

class AtEngine {
 public:
  static constexpr const char* kServiceCentre = "8613800200500";

  explicit AtEngine(ModemState& state) : state_(state) {}

  // Everything the modem answers to `bytes`, in order. `nowMs` stamps the
  // command log.
  std::vector<ModemOutput> Feed(std::string_view bytes, int64_t nowMs);
  // Command mode, empty line, power-on settings.
  void Reset();
  // A command line or a message is being entered: part of what reserves the
  // link, so that new-message indications wait or are discarded.
  bool Entering() const { return collectingPdu_ || !line_.empty(); }

 private:
  void FeedPdu(char c, int64_t nowMs, std::vector<ModemOutput>& out);
  std::string Execute(const std::string& line);
  std::string Extended(const std::string& name, const std::string& suffix);
  std::string FinishSend();
  std::string List(const std::string& suffix);
  std::string Read(const std::string& suffix);
  std::string Delete(const std::string& suffix);
  std::string Storage(const std::string& suffix);
  std::string Registration(const std::string& suffix);
  std::string Functionality(const std::vector<std::string>& args, const std::string& suffix);

  ModemState& state_;
  std::string line_;
  std::string command_;  // the last command run, as ModemOutput::command has it
  bool collectingPdu_ = false;
  int pduLength_ = 0;
  std::string pdu_;
  int registrationMode_ = 0;  // "AT+CREG=n"
  int errorMode_ = 0;         // "AT+CMEE=n"
  std::string charset_ = "IRA";
};

}  // namespace modemsim
