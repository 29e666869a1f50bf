// The traffic engine's state machine: it sends queued messages and, after
// 5 s without a send, lists received ones and deletes them from the modem.
// When the modem sends new-message indications, one also brings a listing,
// as soon as the step under way has ended. Between listings it asks the
// modem about the network and the signal about every 30 s; a message the
// network cannot take waits until the modem is registered again.
// Each call to Step runs one state's transition, so the engine's thread only
// paces the machine and looks for a stop request between steps, and a test
// can drive it over a scripted port. Every wait is nominal (timescale).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/timescale/timescale.h"
#include "smsservice/modem/at_commands.h"
#include "smsservice/modem/modem_link.h"
#include "smsservice/modem/modem_sms.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/pdu_codec.h"
#include "smsservice/modem/serial_line.h"
#include "smsservice/modem/sms_rings.h"

// Why an engine ended: each asks for its own way back.
enum class EngineStop {
  kTold,        // the service stopped it
  kSilent,      // a reply did not come in time
  kLost,        // the device went away (unplugged)
  kRestarted,   // the modem announced a restart ("RDY"), or its echo came back
  kBootLine,    // "^BOOT": a restart on most modems, a heartbeat on a few
  kSimLost,     // the SIM went away or restarts
  kRadioCycle,  // registered but every send fails, or off the network for long
};

const char* EngineStopText(EngineStop reason);

struct EngineSettings {
  // Received messages no slot holds any more, for clients first.
  std::vector<ModemSms> kept;
  // The modem was told to send "+CMTI" lines (startup_dialogue.h).
  bool indications = false;
  // Whether "^BOOT" means a restart; some modems send it while they run.
  bool bootMeansRestart = true;
};

class SmsTrafficMachine {
 public:
  enum State {
    kStartIdle,
    kWaitForWork,
    kSend,
    kAwaitPrompt,
    kAwaitSendReply,
    kSendFailed,
    kList,
    kAwaitListing,
    kDeleteNext,
    kAwaitDeleteReply,
    kDeleteFailed,
    kAskRegistration,
    kAwaitRegistration,
    kAskSignal,
    kAwaitSignal,
    kStopped,  // the machine stays here; stopReason() tells why
  };

  // Talks to the modem on the link's line, takes messages to send from its
  // rings, puts received ones there, joins parts in its table, notes what
  // it learns of the modem in its health and measures its waits on its
  // clock; the link's parts must outlive the machine.
  explicit SmsTrafficMachine(const ModemLink& link, EngineSettings settings = {});
  SmsTrafficMachine(const SmsTrafficMachine&) = delete;
  SmsTrafficMachine& operator=(const SmsTrafficMachine&) = delete;

  // Runs the current state's transition once: at most one sleep, one
  // command and one read. False once the machine has stopped.
  bool Step();
  State state() const { return state_; }
  EngineStop stopReason() const { return stopReason_; }
  // When the engine ends with a message taken from the ring but not yet
  // confirmed by the modem, puts it back first in the ring for the next
  // engine.
  void ReturnUnsent();

 private:
  enum class Awaited { kOk, kError, kPending, kStopped };

  State StartIdle();
  State WaitForWork();
  State Send();
  State AwaitPrompt();
  State AwaitSendReply();
  State SendFailed();
  // After the registration check that follows a failed send.
  State JudgeFailedSend();
  State Refused();
  State Hold(const std::string& why);
  // The modem took the message being sent, or it is given up.
  void Sent();
  void GiveUp();
  State List();
  State AwaitListing();
  State DeleteNext();
  State AwaitDeleteReply();
  State DeleteFailed();
  State AskRegistration();
  State AwaitRegistration();
  State AskSignal();
  State AwaitSignal();
  bool WatchDue() const;

  // Called right after a command is written: the reply starts empty and its
  // time-out counts from now.
  void BeginAwait();
  // Sleeps 100 ms, reads once and judges the reply so far; stopped when
  // nothing final has come within `timeoutS` of BeginAwait, or the modem
  // said it restarted.
  Awaited AwaitReply(long timeoutS);
  // Acts on the unsolicited lines the last read found; false when one of
  // them ends the engine.
  bool NoteUnsolicited();
  State Stop(EngineStop reason);
  // Indications answered by the listing just parsed need no other one.
  void ForgetListed();
  void PlanDeletions();
  // An unplugged modem, said once.
  bool Lost();
  bool ReleaseHeld();
  long Elapsed() const;
  void TakeInHand(bool inHand);

  SerialLine& line_;
  SmsRings& rings_;
  PartialTable& partials_;
  SmsJournal& journal_;
  ModemHealth& health_;
  const Clock& clock_;
  const bool indications_;
  const bool bootMeansRestart_;
  // Slots named by indications that no listing has answered yet: each
  // listing answers those that came before its command, and those for the
  // slots it lists.
  std::vector<int> indicated_;
  State state_ = kStartIdle;
  EngineStop stopReason_ = EngineStop::kTold;
  EngineStop pendingStop_ = EngineStop::kTold;
  bool stopPending_ = false;  // an unsolicited line asked to stop
  int retries_ = 0;           // of the deletion under way
  Clock::Monotonic::time_point start_;
  Clock::Monotonic::time_point lastWatch_;
  std::unique_ptr<ReplyBuffer> reply_;
  ModemSms outgoing_;     // the message being sent, kept for its retries
  bool sending_ = false;  // outgoing_ is taken and not yet confirmed or dropped
  char outgoingPdu_[SUBMIT_PDU_HEX_MAX] = {};
  // outgoing_ waits for the network: it goes again once the modem is
  // registered and `holdUntil_` has passed; nothing else is sent meanwhile.
  bool holding_ = false;
  Clock::Monotonic::time_point holdUntil_;
  bool checkingFailedSend_ = false;  // the registration is asked because a send failed
  std::string failure_;              // the final result of the send that failed
  int failedInARow_ = 0;             // sends failed while registered, since one went
  std::vector<ModemSms> listing_;    // the last listing's records
  bool listingUnsaved_ = false;      // the journal did not take it: nothing is deleted
  // Storage indexes to delete after a listing. Complete messages the receive
  // ring had no room for wait in `held_`, still stored in the modem, until
  // the ring has room; only then are they deleted there.
  std::vector<int16_t> deletions_;
  size_t deletePosition_ = 0;
  std::deque<ModemSms> held_;
};
