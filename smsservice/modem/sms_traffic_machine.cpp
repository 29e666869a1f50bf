#include "smsservice/modem/sms_traffic_machine.h"

#include <syslog.h>

#include "smsservice/modem/pdu_codec.h"
#include "smsservice/modem/serial_line.h"

namespace {

using std::chrono::milliseconds;

constexpr long kIdleBeforeListingS = 5;
constexpr long kSendReplyTimeoutS = 10;
constexpr long kListReplyTimeoutS = 60;  // listing and deletion replies alike
constexpr int kMaxRetries = 30;

}  // namespace

SmsTrafficMachine::SmsTrafficMachine(SmsRings& rings)
    : rings_(rings), start_(timescale::Now()), reply_(std::make_unique<ReplyBuffer>()), listing_(LISTING_MAX_RECORDS) {
  deletions_.reserve(LISTING_MAX_RECORDS);
}

bool SmsTrafficMachine::Step() {
  switch (state_) {
    case kStartIdle: state_ = StartIdle(); break;
    case kWaitForWork: state_ = WaitForWork(); break;
    case kSend: state_ = Send(); break;
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
  start_ = timescale::Now();
  return kWaitForWork;
}

SmsTrafficMachine::State SmsTrafficMachine::WaitForWork() {
  timescale::Sleep(milliseconds(300));
  // An unplugged modem ends the engine at once, so clients see it closed
  // and their open requests bring it back, rather than a minute later.
  if (PortLost()) return kStopped;
  if (rings_.PopSend(outgoing_)) return kSend;
  if (Elapsed() >= kIdleBeforeListingS) return ReleaseHeld() ? kDeleteNext : kList;
  return kWaitForWork;
}

SmsTrafficMachine::State SmsTrafficMachine::Send() {
  SendPdu(outgoing_);
  BeginAwait();
  return kAwaitSendReply;
}

SmsTrafficMachine::State SmsTrafficMachine::AwaitSendReply() {
  switch (AwaitReply(kSendReplyTimeoutS)) {
    case Awaited::kOk: retries_ = 0; return kStartIdle;
    case Awaited::kError: return kSendFailed;
    case Awaited::kSilent: return kStopped;
    case Awaited::kPending: break;
  }
  return kAwaitSendReply;
}

SmsTrafficMachine::State SmsTrafficMachine::SendFailed() {
  timescale::Sleep(milliseconds(500));
  if (++retries_ <= kMaxRetries) return kSend;
  syslog(LOG_WARNING, "SMS to %s dropped after %d attempts", outgoing_.number, kMaxRetries + 1);
  return kStartIdle;
}

SmsTrafficMachine::State SmsTrafficMachine::List() {
  ListUnread();
  BeginAwait();
  return kAwaitListing;
}

SmsTrafficMachine::State SmsTrafficMachine::AwaitListing() {
  switch (AwaitReply(kListReplyTimeoutS)) {
    case Awaited::kOk: {
      // Every entry: the modem has marked them all read, so one left out
      // here would never be listed again.
      int entries = CountListingEntries(reply_->Text());
      if (listing_.size() < static_cast<size_t>(entries)) listing_.resize(entries);
      PlanDeletions(ParseListing(reply_->Text(), listing_.data(), entries));
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
  DeleteSms(deletions_[deletePosition_]);
  BeginAwait();
  return kAwaitDeleteReply;
}

SmsTrafficMachine::State SmsTrafficMachine::AwaitDeleteReply() {
  switch (AwaitReply(kListReplyTimeoutS)) {
    case Awaited::kOk:
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
  // Giving up leaves the message stored; a later listing brings it again.
  return ++retries_ > kMaxRetries ? kStartIdle : kDeleteNext;
}

void SmsTrafficMachine::BeginAwait() {
  reply_->Clear();
  start_ = timescale::Now();
}

SmsTrafficMachine::Awaited SmsTrafficMachine::AwaitReply(long timeoutS) {
  timescale::Sleep(milliseconds(100));
  ReplyVerdict verdict = ReadReply(*reply_);
  if (verdict == REPLY_OK) return Awaited::kOk;
  if (verdict == REPLY_ERROR) return Awaited::kError;
  if (PortLost()) return Awaited::kSilent;
  return Elapsed() >= timeoutS ? Awaited::kSilent : Awaited::kPending;
}

void SmsTrafficMachine::PlanDeletions(int listed) {
  deletions_.clear();
  deletePosition_ = 0;
  // While messages are held, newer ones are held behind them, so clients get them in order.
  int handled = held_.empty() ? rings_.PushIncoming(listing_.data(), listed) : 0;
  for (int i = 0; i < listed; ++i) {
    if (i < handled || listing_[i].part >= 0) deletions_.push_back(listing_[i].index);
    else held_.push_back(listing_[i]);
  }
}

bool SmsTrafficMachine::ReleaseHeld() {
  deletions_.clear();
  deletePosition_ = 0;
  while (!held_.empty() && rings_.PushIncoming(&held_.front(), 1) == 1) {
    deletions_.push_back(held_.front().index);
    held_.pop_front();
  }
  return !deletions_.empty();
}

long SmsTrafficMachine::Elapsed() const { return timescale::ElapsedSeconds(start_, timescale::Now()); }
