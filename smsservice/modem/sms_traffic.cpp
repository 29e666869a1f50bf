#include "smsservice/modem/sms_traffic.h"

#include <deque>
#include <memory>
#include <syslog.h>

#include "platform/timescale/timescale.h"
#include "smsservice/modem/at_commands.h"
#include "smsservice/modem/gsm_modem.h"
#include "smsservice/modem/pdu_codec.h"

namespace {

using std::chrono::milliseconds;

constexpr long kIdleBeforeListingS = 5;
constexpr long kSendReplyTimeoutS = 10;
constexpr long kListReplyTimeoutS = 60;
constexpr int kMaxRetries = 30;

enum EngineState {
  kStartIdle = 0,
  kWaitForWork = 1,
  kSend = 2,
  kAwaitSendReply = 3,
  kSendFailed = 4,
  kList = 5,
  kAwaitListing = 6,
  kDeleteNext = 7,
  kAwaitDeleteReply = 8,
  kDeleteFailed = 9,
};

int Next(int position) { return (position + 1) % CSmsTraffic::kRingSlots; }

}  // namespace

CSmsTraffic::CSmsTraffic(CGsmMorden* owner)
    : owner_(owner), sendRing_(kRingSlots), receiveRing_(kRingSlots), thread_([this] { EngineThread(); }) {}

CSmsTraffic::~CSmsTraffic() {
  stopEvent_.Set();
  doneEvent_.Wait();
  thread_.join();
}

bool CSmsTraffic::PushSend(const ModemSms& record) {
  std::lock_guard lock(sendLock_);
  if (Next(sendWrite_) == sendRead_) return false;
  sendRing_[sendWrite_] = record;
  sendWrite_ = Next(sendWrite_);
  return true;
}

bool CSmsTraffic::PopSend(ModemSms& record) {
  std::lock_guard lock(sendLock_);
  if (sendRead_ == sendWrite_) return false;
  record = sendRing_[sendRead_];
  sendRead_ = Next(sendRead_);
  return true;
}

int CSmsTraffic::PushIncoming(const ModemSms* records, int count) {
  std::lock_guard lock(receiveLock_);
  for (int i = 0; i < count; ++i) {
    if (records[i].part >= 0) continue;  // an incomplete part waits in the partial table
    if (Next(receiveWrite_) == receiveRead_) return i;
    receiveRing_[receiveWrite_] = records[i];
    receiveWrite_ = Next(receiveWrite_);
  }
  return count;
}

bool CSmsTraffic::PopIncoming(ModemSms& record) {
  std::lock_guard lock(receiveLock_);
  if (receiveRead_ == receiveWrite_) return false;
  record = receiveRing_[receiveRead_];
  receiveRead_ = Next(receiveRead_);
  return true;
}

void CSmsTraffic::EngineThread() {
  std::vector<ModemSms> working(LISTING_MAX_RECORDS);
  auto reply = std::make_unique<ReplyBuffer>();
  // Storage indexes to delete after a listing. Complete messages the receive
  // ring had no room for wait in `held`, still stored in the modem, until
  // the ring has room; only then are they deleted there.
  std::vector<int16_t> deletions;
  deletions.reserve(LISTING_MAX_RECORDS);
  std::deque<ModemSms> held;
  size_t deletePosition = 0;
  int retries = 0;
  auto start = timescale::Now();
  int state = kStartIdle;
  bool stop = false;

  auto elapsed = [&] { return timescale::ElapsedSeconds(start, timescale::Now()); };
  auto planDeletions = [&](int count) {
    deletions.clear();
    deletePosition = 0;
    int handled = held.empty() ? PushIncoming(working.data(), count) : 0;
    for (int i = 0; i < count; ++i) {
      if (i < handled || working[i].part >= 0) deletions.push_back(working[i].index);
      else held.push_back(working[i]);
    }
  };
  auto releaseHeld = [&] {
    deletions.clear();
    deletePosition = 0;
    while (!held.empty() && PushIncoming(&held.front(), 1) == 1) {
      deletions.push_back(held.front().index);
      held.pop_front();
    }
    return !deletions.empty();
  };

  while (!stop) {
    switch (state) {
      case kStartIdle:
        retries = 0;
        start = timescale::Now();
        state = kWaitForWork;
        break;
      case kWaitForWork:
        timescale::Sleep(milliseconds(300));
        if (PopSend(working[0])) state = kSend;
        else if (elapsed() >= kIdleBeforeListingS) state = releaseHeld() ? kDeleteNext : kList;
        break;
      case kSend:
        SendPdu(working[0]);
        reply->Clear();
        start = timescale::Now();
        state = kAwaitSendReply;
        break;
      case kAwaitSendReply: {
        timescale::Sleep(milliseconds(100));
        ReplyVerdict verdict = ReadReply(*reply);
        if (verdict == REPLY_OK) {
          retries = 0;
          state = kStartIdle;
        } else if (verdict == REPLY_ERROR) {
          state = kSendFailed;
        } else if (elapsed() >= kSendReplyTimeoutS) {
          stop = true;
        }
        break;
      }
      case kSendFailed:
        timescale::Sleep(milliseconds(500));
        if (++retries > kMaxRetries) {
          syslog(LOG_WARNING, "SMS to %s dropped after %d attempts", working[0].number, kMaxRetries + 1);
          state = kStartIdle;
        } else {
          state = kSend;
        }
        break;
      case kList:
        ListUnread();
        reply->Clear();
        start = timescale::Now();
        state = kAwaitListing;
        break;
      case kAwaitListing: {
        timescale::Sleep(milliseconds(100));
        ReplyVerdict verdict = ReadReply(*reply);
        if (verdict == REPLY_OK) {
          planDeletions(ParseListing(reply->Text(), working.data(), LISTING_MAX_RECORDS));
          state = kDeleteNext;
        } else if (verdict == REPLY_ERROR) {
          state = kStartIdle;
        } else if (elapsed() >= kListReplyTimeoutS) {
          stop = true;
        }
        break;
      }
      case kDeleteNext:
        if (deletePosition < deletions.size()) {
          DeleteSms(deletions[deletePosition]);
          reply->Clear();
          start = timescale::Now();
          state = kAwaitDeleteReply;
        } else {
          state = kStartIdle;
        }
        break;
      case kAwaitDeleteReply: {
        timescale::Sleep(milliseconds(100));
        ReplyVerdict verdict = ReadReply(*reply);
        if (verdict == REPLY_OK) {
          ++deletePosition;
          retries = 0;
          state = kDeleteNext;
        } else if (verdict == REPLY_ERROR) {
          state = kDeleteFailed;
        } else if (elapsed() >= kListReplyTimeoutS) {
          stop = true;
        }
        break;
      }
      case kDeleteFailed:
        timescale::Sleep(milliseconds(500));
        state = ++retries > kMaxRetries ? kStartIdle : kDeleteNext;
        break;
    }
    if (stopEvent_.WaitFor(timescale::Real(milliseconds(20)))) break;
  }
  if (stop) syslog(LOG_WARNING, "modem stopped answering; SMS engine stopped");
  owner_->SetModemState(MODEM_CLOSED);
  doneEvent_.Set();
}
