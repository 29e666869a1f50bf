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
constexpr int kMaxRetries = 30;

void LogReceived(const ModemSms& sms) {
  activity_log::Log(LOG_INFO, "SMS received from %s: %d part%s, %zu bytes", sms.number, sms.parts,
                    sms.parts == 1 ? "" : "s", std::strlen(sms.text));
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

}  // namespace

SmsTrafficMachine::SmsTrafficMachine(const ModemLink& link, std::vector<ModemSms> kept, bool indications)
    : line_(link.line),
      rings_(link.rings),
      partials_(link.partials),
      journal_(link.journal),
      clock_(link.clock),
      indications_(indications),
      start_(clock_.MonotonicNow()),
      reply_(std::make_unique<ReplyBuffer>()) {
  int taken = rings_.PushIncoming(kept.data(), static_cast<int>(kept.size()));
  for (int i = 0; i < static_cast<int>(kept.size()); ++i)
    if (i < taken) LogReceived(kept[i]);
    else held_.push_back(kept[i]);
}

bool SmsTrafficMachine::Lost() {
  if (!line_.Lost()) return false;
  activity_log::Log(LOG_WARNING, "the modem's device went away (unplugged?)");
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
    case kStopped: break;
  }
  return state_ != kStopped;
}

SmsTrafficMachine::State SmsTrafficMachine::StartIdle() {
  retries_ = 0;
  start_ = clock_.MonotonicNow();
  return kWaitForWork;
}

SmsTrafficMachine::State SmsTrafficMachine::WaitForWork() {
  // A message the modem announced goes to clients before the next send:
  // that is what indications are for. Those that came together get one listing.
  if (!indicated_.empty()) return kList;
  if (indications_) {
    ListenIdle(line_, *reply_, milliseconds(300));
    NoteIndications();
  } else {
    timescale::Sleep(milliseconds(300));
  }
  // An unplugged modem ends the engine at once, so clients see it closed
  // and their open requests bring it back, rather than a minute later.
  if (Lost()) return kStopped;
  if (!indicated_.empty()) return kList;
  if (rings_.PopSend(outgoing_)) return kSend;
  if (Elapsed() >= kIdleBeforeListingS) return ReleaseHeld() ? kDeleteNext : kList;
  return kWaitForWork;
}

SmsTrafficMachine::State SmsTrafficMachine::Send() {
  if (!AskToSend(line_, outgoing_, outgoingPdu_)) return kStartIdle;  // refused when queued; never here
  sending_ = true;
  BeginAwait();
  return kAwaitPrompt;
}

// The prompt may come late or cut across reads; the message follows it
// whenever it comes within the send time-out.
SmsTrafficMachine::State SmsTrafficMachine::AwaitPrompt() {
  timescale::Sleep(milliseconds(100));
  ReplyVerdict verdict = ReadReply(line_, *reply_);
  NoteIndications();
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
  if (Lost()) return kStopped;
  if (Elapsed() < kSendReplyTimeoutS) return kAwaitPrompt;
  CancelEntry(line_);
  activity_log::Log(LOG_WARNING, "no prompt from the modem within %ld s", kSendReplyTimeoutS);
  return kStopped;
}

SmsTrafficMachine::State SmsTrafficMachine::AwaitSendReply() {
  switch (AwaitReply(kSendReplyTimeoutS)) {
    case Awaited::kOk:
      activity_log::Log(LOG_INFO, "SMS sent to %s: %zu bytes, message reference %d", outgoing_.number,
                        std::strlen(outgoing_.text), MessageReference(reply_->Text()));
      Sent();
      return kStartIdle;
    case Awaited::kError: return kSendFailed;
    case Awaited::kSilent: return kStopped;
    case Awaited::kPending: break;
  }
  return kAwaitSendReply;
}

SmsTrafficMachine::State SmsTrafficMachine::SendFailed() {
  timescale::Sleep(milliseconds(500));
  if (++retries_ <= kMaxRetries) {
    activity_log::Log(LOG_WARNING, "SMS to %s not taken by the modem; attempt %d of %d", outgoing_.number, retries_ + 1,
                      kMaxRetries + 1);
    return kSend;
  }
  GiveUp();
  return kStartIdle;
}

void SmsTrafficMachine::Sent() {
  retries_ = 0;
  sending_ = false;
  try {
    journal_.RemoveSend(outgoing_.journalId);
  } catch (const journal::JournalError& error) {
    JournalFailed(error, "a sent SMS (it may go again after a restart)");
  }
}

// Never silent: the client was told the message is queued.
void SmsTrafficMachine::GiveUp() {
  sending_ = false;
  char why[64];
  std::snprintf(why, sizeof why, "the modem refused it %d times", kMaxRetries + 1);
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
      ForgetListed();
      PlanDeletions();
      return kDeleteNext;
    }
    case Awaited::kError: return kStartIdle;
    case Awaited::kSilent: return kStopped;
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
      return kDeleteNext;
    case Awaited::kError: return kDeleteFailed;
    case Awaited::kSilent: return kStopped;
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

void SmsTrafficMachine::ReturnUnsent() {
  if (!sending_) return;
  sending_ = false;
  if (rings_.ReturnSend(outgoing_))
    activity_log::Log(LOG_WARNING, "SMS to %s not confirmed by the modem; it goes again when the modem is back",
                      outgoing_.number);
  else
    activity_log::Log(LOG_WARNING, "SMS to %s dropped: the engine stopped before the modem confirmed it",
                      outgoing_.number);
}

void SmsTrafficMachine::BeginAwait() {
  reply_->Clear();
  start_ = clock_.MonotonicNow();
}

SmsTrafficMachine::Awaited SmsTrafficMachine::AwaitReply(long timeoutS) {
  timescale::Sleep(milliseconds(100));
  ReplyVerdict verdict = ReadReply(line_, *reply_);
  NoteIndications();
  if (verdict == REPLY_OK) return Awaited::kOk;
  if (verdict == REPLY_ERROR) return Awaited::kError;
  if (Lost()) return Awaited::kSilent;
  if (Elapsed() < timeoutS) return Awaited::kPending;
  activity_log::Log(LOG_WARNING, "no reply from the modem within %ld s", timeoutS);
  return Awaited::kSilent;
}

void SmsTrafficMachine::NoteIndications() {
  if (indications_) indicated_.insert(indicated_.end(), reply_->indicated.begin(), reply_->indicated.end());
  reply_->indicated.clear();
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
    if (i < handled && entry.part == SMS_PART_COMPLETE) LogReceived(entry);
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
    LogReceived(held_.front());
    if (held_.front().index != SMS_NOT_STORED) deletions_.push_back(held_.front().index);
    held_.pop_front();
  }
  return !deletions_.empty();
}

long SmsTrafficMachine::Elapsed() const { return timescale::ElapsedSeconds(start_, clock_.MonotonicNow()); }
