// The traffic engine's state machine: it sends queued messages and, after
// 5 s without a send, lists received ones and deletes them from the modem.
// When the modem sends new-message indications, one also brings a listing,
// as soon as the step under way has ended.
// Each call to Step runs one state's transition, so the engine's thread only
// paces the machine and looks for a stop request between steps, and a test
// can drive it over a scripted port. Every wait is nominal (timescale).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/timescale/timescale.h"
#include "smsservice/modem/at_commands.h"
#include "smsservice/modem/modem_link.h"
#include "smsservice/modem/modem_sms.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/pdu_codec.h"
#include "smsservice/modem/serial_line.h"
#include "smsservice/modem/sms_rings.h"

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
    kStopped,  // the modem stopped answering; the machine stays here
  };

  // Talks to the modem on the link's line, takes messages to send from its
  // rings, puts received ones there, joins parts in its table and measures
  // its waits on its clock; the link's parts must outlive the machine.
  // `kept`: received messages no slot holds any more, for clients first.
  // `indications`: the modem was told to send "+CMTI" lines (startup_dialogue.h).
  explicit SmsTrafficMachine(const ModemLink& link, std::vector<ModemSms> kept = {}, bool indications = false);
  SmsTrafficMachine(const SmsTrafficMachine&) = delete;
  SmsTrafficMachine& operator=(const SmsTrafficMachine&) = delete;

  // Runs the current state's transition once: at most one sleep, one
  // command and one read. False once the modem has stopped answering.
  bool Step();
  State state() const { return state_; }
  // When the engine ends with a message taken from the ring but not yet
  // confirmed by the modem, puts it back first in the ring for the next
  // engine.
  void ReturnUnsent();

 private:
  enum class Awaited { kOk, kError, kPending, kSilent };

  State StartIdle();
  State WaitForWork();
  State Send();
  State AwaitPrompt();
  State AwaitSendReply();
  State SendFailed();
  // The modem took the message being sent, or it is given up.
  void Sent();
  void GiveUp();
  State List();
  State AwaitListing();
  State DeleteNext();
  State AwaitDeleteReply();
  State DeleteFailed();

  // Called right after a command is written: the reply starts empty and its
  // time-out counts from now.
  void BeginAwait();
  // Sleeps 100 ms, reads once and judges the reply so far; silent when
  // nothing final has come within `timeoutS` of BeginAwait.
  Awaited AwaitReply(long timeoutS);
  // Moves the indications the last read found to `indicated_`, when the
  // machine listens for them.
  void NoteIndications();
  // Indications answered by the listing just parsed need no other one.
  void ForgetListed();
  void PlanDeletions();
  // An unplugged modem, said once.
  bool Lost();
  bool ReleaseHeld();
  long Elapsed() const;

  SerialLine& line_;
  SmsRings& rings_;
  PartialTable& partials_;
  SmsJournal& journal_;
  const Clock& clock_;
  const bool indications_;
  // Slots named by indications that no listing has answered yet: each
  // listing answers those that came before its command, and those for the
  // slots it lists.
  std::vector<int> indicated_;
  State state_ = kStartIdle;
  int retries_ = 0;
  Clock::Monotonic::time_point start_;
  std::unique_ptr<ReplyBuffer> reply_;
  ModemSms outgoing_;     // the message being sent, kept for its retries
  bool sending_ = false;  // outgoing_ is taken and not yet confirmed or dropped
  char outgoingPdu_[SUBMIT_PDU_HEX_MAX] = {};
  std::vector<ModemSms> listing_;  // the last listing's records
  bool listingUnsaved_ = false;    // the journal did not take it: nothing is deleted
  // Storage indexes to delete after a listing. Complete messages the receive
  // ring had no room for wait in `held_`, still stored in the modem, until
  // the ring has room; only then are they deleted there.
  std::vector<int16_t> deletions_;
  size_t deletePosition_ = 0;
  std::deque<ModemSms> held_;
};
