// Everything about the simulated modem that the control port can read or
// change: storage, the record of sends and commands, and the active faults.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "sim/modem/command_delays.h"
#include "sim/modem/indications.h"
#include "sim/modem/message_store.h"
#include "sim/modem/urc_noise.h"

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
  CommandDelays commandDelays;  // added to replyDelayMs for the commands named
  int chunkBytes = 0;           // 0: every reply in one write
  int chunkGapMs = 30;
  int signal = 23;
  bool simNotReady = false;
  int registration = 1;          // "+CREG" status: 1 home, 2 searching, 5 roaming...
  bool registrationOk = true;    // false: the status line comes without "OK"
  int failIndicationSetups = 0;  // next N "AT+CNMI=..." answer ERROR and change nothing
  IndicationFault indications = IndicationFault::kNone;
  // Sends fail with ERROR, all else works, until the radio is switched off
  // and on again ("AT+CFUN=0", then "AT+CFUN=1"), as a stuck radio stack.
  bool wedged = false;
  UrcNoise noise;
};

struct SentPdu {
  std::string pdu;
  int length;  // as given in "AT+CMGS=n"
};

// Bytes that crossed the serial line in one direction, in the order they
// did; consecutive bytes the same way make one entry.
struct TranscriptEntry {
  bool fromHost;
  std::string bytes;
};

struct LoggedLine {
  int64_t ms;  // since the simulator started
  std::string line;
  bool pdu;  // the PDU text after a "> " prompt, not a command
};

struct ModemState {
  static constexpr size_t kLogLimit = 5000;
  static constexpr size_t kTranscriptLimit = 1 << 20;  // bytes; the oldest entries go first

  explicit ModemState(int storageSlots) : store(storageSlots) {}

  void Log(int64_t ms, std::string line, bool pdu = false) {
    if (log.size() == kLogLimit) log.pop_front();
    log.push_back({ms, std::move(line), pdu});
  }

  void Transcribe(bool fromHost, std::string_view bytes) {
    if (bytes.empty()) return;
    if (transcript.empty() || transcript.back().fromHost != fromHost) transcript.push_back({fromHost, {}});
    transcript.back().bytes += bytes;
    transcriptBytes += bytes.size();
    while (transcriptBytes > kTranscriptLimit && transcript.size() > 1) {
      transcriptBytes -= transcript.front().bytes.size();
      transcript.pop_front();
    }
  }
  void ClearTranscript() {
    transcript.clear();
    transcriptBytes = 0;
  }

  // "+CREG" status and "+CSQ" signal as the host sees them: nothing while
  // the radio is off.
  int Registration() const { return RadioOn() ? faults.registration : 0; }
  int Signal() const { return RadioOn() ? faults.signal : 99; }
  bool RadioOn() const { return functionality == 1; }

  MessageStore store;
  Indications indications;
  std::vector<int> newlyStored;  // slots stored since the last look, for their indications
  std::vector<SentPdu> sent;
  std::deque<LoggedLine> log;
  std::deque<TranscriptEntry> transcript;
  size_t transcriptBytes = 0;
  Faults faults;
  bool echo = true;
  int functionality = 1;         // "AT+CFUN": 1 full, 0 or 4 radio off
  int nextMessageReference = 1;  // "+CMGS: mr"
  int nextConcatReference = 1;   // reference of the next injected concatenated message
};

}  // namespace modemsim
