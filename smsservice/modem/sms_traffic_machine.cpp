#include "smsservice/modem/sms_traffic_machine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <syslog.h>

#include "platform/codepage/codepage.h"
#include "platform/journal/sqlite_db.h"
#include "platform/log/activity_log.h"
#include "smsservice/modem/journaled_listing.h"
#include "smsservice/modem/pdu_codec.h"

namespace {

using std::chrono::milliseconds;

constexpr long kIdleBeforeListingS = 5;
constexpr long kSendReplyTimeoutS = 10;
constexpr long kListReplyTimeoutS = 60;  // listing and deletion replies alike
constexpr long kWatchReplyTimeoutS = 10;
constexpr long kWatchEveryS = 30;
constexpr long kWatchWhileHoldingS = 5;  // the network is awaited: asked more often
constexpr long kHoldAtLeastS = 5;        // before a held message is tried again
constexpr int kMaxRetries = 30;
constexpr int kFailuresBeforeRadioCycle = 10;
constexpr long kUnregisteredBeforeRadioCycleS = 5 * 60;

void LogReceived(const ModemSms& sms, ModemHealth& health) {
  activity_log::Log(LOG_INFO, "SMS received from %s: %d part%s, %zu bytes", sms.number, sms.parts,
                    sms.parts == 1 ? "" : "s", std::strlen(sms.text));
  health.NoteReceived(sms);
}

// The first words of a message, for a log line that must say which it was.
std::string FirstWords(const char* text) {
  std::string_view gbk(text);
  std::string shown = codepage::GbkToUtf8(gbk.substr(0, codepage::GbkPrefixLength(gbk, 30)));
  return std::strlen(text) > shown.size() ? shown + "..." : shown;
}

// A journal that cannot record a change the engine has made: the message
// is handled as if there were no journal, and the operator told.
void JournalFailed(const journal::JournalError& error, const char* what) {
  activity_log::Log(LOG_ERR, "the journal cannot record %s: %s", what, error.what());
}

// The message reference of a "+CMGS: <mr>" reply, or -1.
int MessageReference(std::string_view reply) {
  size_t at = reply.find("+CMGS:");
  return at == std::string_view::npos ? -1 : std::atoi(std::string(reply.substr(at + 6, 8)).c_str());
}

// A modem that echoes what it is told again has forgotten "ATE0": it
// restarted. No reply to the engine's commands holds "AT+C" otherwise (a
// PDU is hexadecimal).
bool EchoCameBack(std::string_view reply) { return reply.find("AT+C") != std::string_view::npos; }

}  // namespace

const char* EngineStopText(EngineStop reason) {
  switch (reason) {
    case EngineStop::kTold: return "stopped";
    case EngineStop::kSilent: return "the modem stopped answering";
    case EngineStop::kLost: return "the modem's device went away";
    case EngineStop::kRestarted: return "the modem restarted";
    case EngineStop::kBootLine: return "the modem announced a restart (^BOOT)";
    case EngineStop::kSimLost: return "the SIM went away";
    case EngineStop::kRadioCycle: return "the modem's radio needs switching off and on";
  }
  return "stopped";
}

SmsTrafficMachine::SmsTrafficMachine(const ModemLink& link, EngineSettings settings)
    : line_(link.line),
      rings_(link.rings),
      partials_(link.partials),
      journal_(link.journal),
      health_(link.health),
      clock_(link.clock),
      indications_(settings.indications),
      bootMeansRestart_(settings.bootMeansRestart),
      start_(clock_.MonotonicNow()),
      lastWatch_(start_),  // the start-up has just asked
      reply_(std::make_unique<ReplyBuffer>()) {
  std::vector<ModemSms>& kept = settings.kept;
  int taken = rings_.PushIncoming(kept.data(), static_cast<int>(kept.size()));
  for (int i = 0; i < static_cast<int>(kept.size()); ++i)
    if (i < taken) LogReceived(kept[i], health_);
    else held_.push_back(kept[i]);
}

bool SmsTrafficMachine::Lost() {
  if (!line_.Lost()) return false;
  activity_log::Log(LOG_WARNING, "the modem's device went away (unplugged?)");
  health_.NoteError("the modem's device went away");
  return true;
}

bool SmsTrafficMachine::Step() {
  switch (state_) {
    case kStartIdle: state_ = StartIdle(); break;
    case kWaitForWork: state_ = WaitForWork(); break;
    case kSend: state_ = Send(); break;
    case kAwaitPrompt: state_ = AwaitPrompt(); break;
    case kAwaitSendReply: state_ = AwaitSendReply(); break;
    case kSendFailed: state_ = SendFailed(); break;
    case kList: state_ = List(); break;
    case kAwaitListing: state_ = AwaitListing(); break;
    case kDeleteNext: state_ = DeleteNext(); break;
    case kAwaitDeleteReply: state_ = AwaitDeleteReply(); break;
    case kDeleteFailed: state_ = DeleteFailed(); break;
    case kAskRegistration: state_ = AskRegistration(); break;
    case kAwaitRegistration: state_ = AwaitRegistration(); break;
    case kAskSignal: state_ = AskSignal(); break;
    case kAwaitSignal: state_ = AwaitSignal(); break;
    case kStopped: break;
  }
  return state_ != kStopped;
}

SmsTrafficMachine::State SmsTrafficMachine::StartIdle() {
  retries_ = 0;
  if (WatchDue()) return kAskRegistration;
  start_ = clock_.MonotonicNow();
  return kWaitForWork;
}

SmsTrafficMachine::State SmsTrafficMachine::WaitForWork() {
  // A message the modem announced goes to clients before the next send:
  // that is what indications are for. Those that came together get one listing.
  if (!indicated_.empty()) return kList;
  // Listening rather than sleeping: a restart or a lost network is heard
  // as it is announced, not at the next command.
  ListenIdle(line_, *reply_, milliseconds(300));
  if (!NoteUnsolicited()) return Stop(pendingStop_);
  // An unplugged modem ends the engine at once, so that it is reopened
  // as soon as it is back, rather than a minute later.
  if (Lost()) return Stop(EngineStop::kLost);
  if (!indicated_.empty()) return kList;
  if (holding_) {
    if (!health_.KnownUnregistered() && clock_.MonotonicNow() >= holdUntil_) {
      holding_ = false;
      activity_log::Log(LOG_NOTICE, "the modem is on the network (%s): sending the SMS held for it",
                        RegistrationName(health_.Snapshot().registration));
      return kSend;
    }
  } else if (rings_.PopSend(outgoing_)) {
    return kSend;
  }
  if (health_.UnregisteredSeconds() >= kUnregisteredBeforeRadioCycleS) {
    activity_log::Log(LOG_ERR, "the modem has been off the network for %ld s", health_.UnregisteredSeconds());
    return Stop(EngineStop::kRadioCycle);
  }
  if (Elapsed() >= kIdleBeforeListingS) return ReleaseHeld() ? kDeleteNext : kList;
  return kWaitForWork;
}

SmsTrafficMachine::State SmsTrafficMachine::Send() {
  if (!AskToSend(line_, outgoing_, outgoingPdu_)) return kStartIdle;  // refused when queued; never here
  TakeInHand(true);
  BeginAwait();
  return kAwaitPrompt;
}

// The prompt may come late or cut across reads; the message follows it
// whenever it comes within the send time-out.
SmsTrafficMachine::State SmsTrafficMachine::AwaitPrompt() {
  timescale::Sleep(milliseconds(100));
  ReplyVerdict verdict = ReadReply(line_, *reply_);
  if (!NoteUnsolicited()) return Stop(pendingStop_);
  if (EchoCameBack(reply_->Text())) return Stop(EngineStop::kRestarted);
  if (HasPrompt(reply_->Text())) {
    // Recorded first: a service that stops now cannot know whether it went.
    try {
      journal_.MarkHandedToModem(outgoing_.journalId);
    } catch (const journal::JournalError& error) {
      JournalFailed(error, "a send");
    }
    WritePdu(line_, outgoingPdu_);
    BeginAwait();
    return kAwaitSendReply;
  }
  if (verdict == REPLY_ERROR) return kSendFailed;
  if (Lost()) return Stop(EngineStop::kLost);
  if (Elapsed() < kSendReplyTimeoutS) return kAwaitPrompt;
  CancelEntry(line_);
  activity_log::Log(LOG_WARNING, "no prompt from the modem within %ld s", kSendReplyTimeoutS);
  health_.NoteError("no prompt for a message within 10 s");
  return Stop(EngineStop::kSilent);
}

SmsTrafficMachine::State SmsTrafficMachine::AwaitSendReply() {
  switch (AwaitReply(kSendReplyTimeoutS)) {
    case Awaited::kOk:
      activity_log::Log(LOG_INFO, "SMS sent to %s: %zu bytes, message reference %d", outgoing_.number,
                        std::strlen(outgoing_.text), MessageReference(reply_->Text()));
      Sent();
      return kStartIdle;
    case Awaited::kError: return kSendFailed;
    case Awaited::kStopped: return kStopped;
    case Awaited::kPending: break;
  }
  return kAwaitSendReply;
}

// A message refused for itself is counted against it; any other failure
// first asks the modem whether it is still on the network.
SmsTrafficMachine::State SmsTrafficMachine::SendFailed() {
  failure_ = FinalResult(reply_->Text());
  health_.CountSendFailure();
  health_.NoteError("SMS to " + std::string(outgoing_.number) + ": " + failure_);
  if (ClassifySendFailure(reply_->Text()) == SendFailure::kMessage) return Refused();
  checkingFailedSend_ = true;
  return kAskRegistration;
}

SmsTrafficMachine::State SmsTrafficMachine::JudgeFailedSend() {
  checkingFailedSend_ = false;
  if (health_.KnownUnregistered())
    return Hold(std::string("the modem is ") + RegistrationName(health_.Snapshot().registration));
  // Registered, and still refused: after ten in a row the radio is cycled,
  // since neither the messages nor the network are to blame.
  if (++failedInARow_ >= kFailuresBeforeRadioCycle) {
    activity_log::Log(LOG_ERR, "%d sends in a row failed while the modem is on the network (last: %s)", failedInARow_,
                      failure_.c_str());
    // This refusal counts too: cycles must not keep a message going for ever.
    if (++outgoing_.refusals > kMaxRetries) {
      GiveUp();
      return kStartIdle;
    }
    return Stop(EngineStop::kRadioCycle);
  }
  if (ClassifySendFailure(failure_) == SendFailure::kNoNetwork) return Hold(failure_);
  return Refused();
}

SmsTrafficMachine::State SmsTrafficMachine::Refused() {
  timescale::Sleep(milliseconds(500));
  if (++outgoing_.refusals <= kMaxRetries) {
    activity_log::Log(LOG_WARNING, "SMS to %s not taken by the modem (%s); attempt %d of %d", outgoing_.number,
                      failure_.c_str(), outgoing_.refusals + 1, kMaxRetries + 1);
    return kSend;
  }
  GiveUp();
  return kStartIdle;
}

// Held, not dropped: it goes again once the network is back, and the rest
// of the queue waits behind it, in order.
SmsTrafficMachine::State SmsTrafficMachine::Hold(const std::string& why) {
  if (!holding_)
    activity_log::Log(LOG_WARNING, "SMS to %s held: the network cannot take it now (%s); it goes when it can",
                      outgoing_.number, why.c_str());
  holding_ = true;
  holdUntil_ = clock_.MonotonicNow() + std::chrono::seconds(kHoldAtLeastS);
  return kStartIdle;
}

void SmsTrafficMachine::Sent() {
  failedInARow_ = 0;
  health_.NoteSent(outgoing_);
  TakeInHand(false);
  try {
    journal_.RemoveSend(outgoing_.journalId);
  } catch (const journal::JournalError& error) {
    JournalFailed(error, "a sent SMS (it may go again after a restart)");
  }
}

// Never silent: the client was told the message is queued.
void SmsTrafficMachine::GiveUp() {
  TakeInHand(false);
  health_.NoteGivenUp(outgoing_);
  char why[96];
  std::snprintf(why, sizeof why, "the modem refused it %d times (%s)", kMaxRetries + 1, failure_.c_str());
  activity_log::Log(LOG_ERR, "SMS to %s given up: %s: \"%s\"", outgoing_.number, why,
                    FirstWords(outgoing_.text).c_str());
  try {
    journal_.GiveUpSend(outgoing_.journalId, why);
  } catch (const journal::JournalError& error) {
    JournalFailed(error, "a given-up SMS");
  }
}

SmsTrafficMachine::State SmsTrafficMachine::List() {
  indicated_.clear();  // their messages were stored before this command, so it lists them
  ListUnread(line_);
  BeginAwait();
  return kAwaitListing;
}

SmsTrafficMachine::State SmsTrafficMachine::AwaitListing() {
  switch (AwaitReply(kListReplyTimeoutS)) {
    case Awaited::kOk: {
      // Every entry: the modem has marked them all read, so one left out
      // here would never be listed again.
      std::vector<DecodedSms> listed = ParseListing(reply_->Text());
      LogWithheld(listed);
      JournaledListing journaled = JournalListing(std::move(listed), partials_, journal_);
      listing_ = std::move(journaled.records);
      listingUnsaved_ = journaled.unsaved;
      health_.SetStorageUsed(CountListingEntries(reply_->Text()));
      ForgetListed();
      PlanDeletions();
      return kDeleteNext;
    }
    case Awaited::kError: return kStartIdle;
    case Awaited::kStopped: return kStopped;
    case Awaited::kPending: break;
  }
  return kAwaitListing;
}

SmsTrafficMachine::State SmsTrafficMachine::DeleteNext() {
  if (deletePosition_ >= deletions_.size()) return kStartIdle;
  DeleteSms(line_, deletions_[deletePosition_]);
  BeginAwait();
  return kAwaitDeleteReply;
}

SmsTrafficMachine::State SmsTrafficMachine::AwaitDeleteReply() {
  switch (AwaitReply(kListReplyTimeoutS)) {
    case Awaited::kOk: try { journal_.ForgetSlot(deletions_[deletePosition_]);
      } catch (const journal::JournalError&) {
        // Only a check lost: the next start-up empties the storage anyway.
      }
      ++deletePosition_;
      retries_ = 0;
      health_.CountStored(-1);
      return kDeleteNext;
    case Awaited::kError: return kDeleteFailed;
    case Awaited::kStopped: return kStopped;
    case Awaited::kPending: break;
  }
  return kAwaitDeleteReply;
}

SmsTrafficMachine::State SmsTrafficMachine::DeleteFailed() {
  timescale::Sleep(milliseconds(500));
  int slot = deletions_[deletePosition_];
  // Giving up leaves the message stored; a later listing brings it again.
  if (++retries_ > kMaxRetries) {
    activity_log::Log(LOG_WARNING, "slot %d stays in the modem: deleting it failed %d times", slot, kMaxRetries + 1);
    return kStartIdle;
  }
  activity_log::Log(LOG_WARNING, "deleting slot %d failed; attempt %d of %d", slot, retries_ + 1, kMaxRetries + 1);
  return kDeleteNext;
}

SmsTrafficMachine::State SmsTrafficMachine::AskRegistration() {
  WriteCommand(line_, "AT+CREG?\r\n");
  BeginAwait();
  return kAwaitRegistration;
}

// A modem that cannot tell (ERROR) is taken as registered: it may still send.
SmsTrafficMachine::State SmsTrafficMachine::AwaitRegistration() {
  switch (AwaitReply(kWatchReplyTimeoutS)) {
    case Awaited::kOk:
      health_.SetRegistration(RegistrationStatus(reply_->Text()).value_or(kRegistrationNotKnown));
      break;
    case Awaited::kError: health_.SetRegistration(kRegistrationNotKnown); break;
    case Awaited::kStopped: return kStopped;
    case Awaited::kPending: return kAwaitRegistration;
  }
  return checkingFailedSend_ ? JudgeFailedSend() : kAskSignal;
}

SmsTrafficMachine::State SmsTrafficMachine::AskSignal() {
  WriteCommand(line_, "AT+CSQ\r\n");
  BeginAwait();
  return kAwaitSignal;
}

SmsTrafficMachine::State SmsTrafficMachine::AwaitSignal() {
  switch (AwaitReply(kWatchReplyTimeoutS)) {
    case Awaited::kOk: health_.SetSignal(SignalQuality(reply_->Text()).value_or(kSignalNotKnown)); break;
    case Awaited::kError: break;
    case Awaited::kStopped: return kStopped;
    case Awaited::kPending: return kAwaitSignal;
  }
  lastWatch_ = clock_.MonotonicNow();
  return kStartIdle;
}

bool SmsTrafficMachine::WatchDue() const {
  long every = holding_ ? kWatchWhileHoldingS : kWatchEveryS;
  return timescale::ElapsedSeconds(lastWatch_, clock_.MonotonicNow()) >= every;
}

SmsTrafficMachine::State SmsTrafficMachine::Stop(EngineStop reason) {
  stopReason_ = reason;
  return kStopped;
}

void SmsTrafficMachine::TakeInHand(bool inHand) {
  sending_ = inHand;
  if (!inHand) holding_ = false;
  health_.SetMessageInHand(inHand);
}

void SmsTrafficMachine::ReturnUnsent() {
  if (!sending_) return;
  TakeInHand(false);
  if (rings_.ReturnSend(outgoing_))
    activity_log::Log(LOG_WARNING, "SMS to %s not confirmed by the modem; it goes again when the modem is back",
                      outgoing_.number);
  else {
    activity_log::Log(LOG_WARNING, "SMS to %s dropped: the engine stopped before the modem confirmed it",
                      outgoing_.number);
    health_.CountDropped();
  }
}

void SmsTrafficMachine::BeginAwait() {
  reply_->Clear();
  start_ = clock_.MonotonicNow();
}

SmsTrafficMachine::Awaited SmsTrafficMachine::AwaitReply(long timeoutS) {
  timescale::Sleep(milliseconds(100));
  ReplyVerdict verdict = ReadReply(line_, *reply_);
  if (!NoteUnsolicited()) {
    Stop(pendingStop_);
    return Awaited::kStopped;
  }
  if (EchoCameBack(reply_->Text())) {
    Stop(EngineStop::kRestarted);
    return Awaited::kStopped;
  }
  if (verdict == REPLY_OK) return Awaited::kOk;
  if (verdict == REPLY_ERROR) return Awaited::kError;
  if (Lost()) {
    Stop(EngineStop::kLost);
    return Awaited::kStopped;
  }
  if (Elapsed() < timeoutS) return Awaited::kPending;
  activity_log::Log(LOG_WARNING, "no reply from the modem within %ld s", timeoutS);
  char error[64];
  std::snprintf(error, sizeof error, "no reply from the modem within %ld s", timeoutS);
  health_.NoteError(error);
  Stop(EngineStop::kSilent);
  return Awaited::kStopped;
}

bool SmsTrafficMachine::NoteUnsolicited() {
  for (const UnsolicitedLine& line : reply_->unsolicited) {
    switch (line.kind) {
      case Unsolicited::kNewMessage:
        if (indications_) indicated_.push_back(line.value);
        break;
      case Unsolicited::kRegistration: health_.SetRegistration(line.value); break;
      case Unsolicited::kSignal: health_.SetSignal(line.value); break;
      case Unsolicited::kRestarted:
        if (line.value == 0 || bootMeansRestart_) {
          stopPending_ = true;
          pendingStop_ = line.value == 0 ? EngineStop::kRestarted : EngineStop::kBootLine;
        }
        break;
      case Unsolicited::kSimNotReady:
        stopPending_ = true;
        pendingStop_ = EngineStop::kSimLost;
        break;
      case Unsolicited::kOther: break;
    }
  }
  reply_->unsolicited.clear();
  if (stopPending_) activity_log::Log(LOG_WARNING, "%s", EngineStopText(pendingStop_));
  return !stopPending_;
}

void SmsTrafficMachine::ForgetListed() {
  std::erase_if(indicated_, [&](int slot) {
    return std::any_of(listing_.begin(), listing_.end(), [&](const ModemSms& entry) { return entry.index == slot; });
  });
}

void SmsTrafficMachine::PlanDeletions() {
  int listed = static_cast<int>(listing_.size());
  deletions_.clear();
  deletePosition_ = 0;
  // While messages are held, newer ones are held behind them, so clients get them in order.
  int handled = held_.empty() ? rings_.PushIncoming(listing_.data(), listed) : 0;
  for (int i = 0; i < listed; ++i) {
    const ModemSms& entry = listing_[i];
    if (i < handled && entry.part == SMS_PART_COMPLETE) LogReceived(entry, health_);
    if (i >= handled && entry.part == SMS_PART_COMPLETE) held_.push_back(entry);
    else if (!listingUnsaved_) deletions_.push_back(entry.index);
  }
  if (handled < listed)
    activity_log::Log(LOG_WARNING, "receive queue full: %zu SMS wait in the modem until clients fetch", held_.size());
}

bool SmsTrafficMachine::ReleaseHeld() {
  deletions_.clear();
  deletePosition_ = 0;
  while (!held_.empty() && rings_.PushIncoming(&held_.front(), 1) == 1) {
    LogReceived(held_.front(), health_);
    if (held_.front().index != SMS_NOT_STORED) deletions_.push_back(held_.front().index);
    held_.pop_front();
  }
  return !deletions_.empty();
}

long SmsTrafficMachine::Elapsed() const { return timescale::ElapsedSeconds(start_, clock_.MonotonicNow()); }
