// New-message indications: the "+CMTI" line a modem sends when it has
// stored an SMS, routed as "AT+CNMI" set it up. Whether the link is reserved
// (a command being entered or running, or its reply not yet all written) is
// for the caller to say, as it owns the line.
#pragma once

#include <deque>
#include <string>

namespace modemsim {

// What a fault makes of indications, whatever the host asked for.
enum class IndicationFault {
  kNone,
  kAtOnce,   // sent at once even while the link is reserved, as modems that ignore the buffering mode do
  kDropped,  // never sent, as when the modem loses them
};

class Indications {
 public:
  static constexpr size_t kBufferLimit = 64;  // then the oldest are discarded

  // "AT+CNMI" with what follows its name ("=2,1,0,0,0", "?", "=?"): the reply.
  std::string Command(const std::string& suffix);
  // A message part stored in `slot`.
  void Stored(int slot, bool reserved, IndicationFault fault);
  // The lines to send now, in order: those due at once, then, once the link
  // is free, the buffered ones.
  std::string TakeDue(bool reserved);
  // Power-up settings: no indications, nothing buffered.
  void Reset();

 private:
  // <mode>: 0 buffer in the modem, 1 discard while reserved, 2 buffer while reserved
  int mode_ = 0;
  int mt_ = 0;  // 1: "+CMTI" for each stored SMS-DELIVER; 0, 2 and 3 give none here
  int bm_ = 0, ds_ = 0, bfr_ = 0;
  std::deque<std::string> buffered_;
  std::string due_;
};

}  // namespace modemsim
