// Everything about the simulated modem that the control port can read or
// change: storage, the record of sends and commands, and the active faults.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/modem/message_store.h"

namespace modemsim {

// Faults combine; each stays until cleared, except the counted ones, which
// wear off as they are used.
struct Faults {
  int failSends = 0;    // next N "AT+CMGS" answer ERROR once their PDU has come
  int failDeletes = 0;  // next N "AT+CMGD" answer ERROR and delete nothing
  int failLists = 0;    // next N "AT+CMGL" answer ERROR and mark nothing read
  // Commands swallowed without echo or answer: -1 every one, else the next N.
  int silentCommands = 0;
  int replyDelayMs = 0;
  int chunkBytes = 0;  // 0: every reply in one write
  int chunkGapMs = 30;
  int signal = 23;
  bool simNotReady = false;
  int registration = 1;        // "+CREG" status: 1 home, 2 searching, 5 roaming...
  bool registrationOk = true;  // false: the status line comes without "OK"
};

struct SentPdu {
  std::string pdu;
  int length;  // as given in "AT+CMGS=n"
};

struct LoggedLine {
  int64_t ms;  // since the simulator started
  std::string line;
  bool pdu;  // the PDU text after a "> " prompt, not a command
};

struct ModemState {
  static constexpr size_t kLogLimit = 5000;

  explicit ModemState(int storageSlots) : store(storageSlots) {}

  void Log(int64_t ms, std::string line, bool pdu = false) {
    if (log.size() == kLogLimit) log.pop_front();
    log.push_back({ms, std::move(line), pdu});
  }

  MessageStore store;
  std::vector<SentPdu> sent;
  std::deque<LoggedLine> log;
  Faults faults;
  bool echo = true;
  int nextMessageReference = 1;  // "+CMGS: mr"
  int nextConcatReference = 1;   // reference of the next injected concatenated message
};

}  // namespace modemsim
