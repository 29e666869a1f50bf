#include "monitor/alerts/sms_outbox.h"

#include "platform/codepage/codepage.h"
#include "platform/journal/sqlite_db.h"

SmsOutbox::SmsOutbox(OutboxJournal& journal, AlertSender& carrier, const Clock& clock, int holdMinutes,
                     std::function<void(const std::string&)> log)
    : journal_(journal),
      carrier_(carrier),
      clock_(clock),
      holdS_(std::time_t{holdMinutes} * 60),
      log_(std::move(log)) {}

bool SmsOutbox::QueueSend(const char* centre, const char* peer, const char* text, uint8_t dcs) {
  std::lock_guard hold(lock_);
  try {
    journal_.Add({0, clock_.WallNow(), centre, peer, text, dcs});
    return true;
  } catch (const journal::JournalError& error) {
    log_(std::string("vigimon.db cannot be written (") + error.what() + "); SMS to " + peer +
         " handed on at once, or lost if the modem is away");
    return carrier_.QueueSend(centre, peer, text, dcs);
  }
}

void SmsOutbox::Pump() {
  std::lock_guard hold(lock_);
  if (onItsWay_) return;
  try {
    std::time_t now = clock_.WallNow();
    for (const OutboxEntry& entry : journal_.Waiting()) {
      if (now - entry.queued >= holdS_) {
        journal_.Remove(entry.id);
        log_("SMS to " + entry.peer + " given up: no modem for " + std::to_string(holdS_ / 60) +
             " minutes: " + codepage::GbkToUtf8(entry.text));
        continue;
      }
      if (carrier_.QueueSend(entry.centre.c_str(), entry.peer.c_str(), entry.text.c_str(), entry.dcs))
        onItsWay_ = entry.id;
      return;  // in order: the rest wait behind the oldest
    }
  } catch (const journal::JournalError& error) {
    log_(std::string("vigimon.db cannot be read: ") + error.what());
  }
}

void SmsOutbox::Heard(SendOutcome outcome) {
  std::lock_guard hold(lock_);
  if (!onItsWay_) return;
  int64_t id = *onItsWay_;
  onItsWay_.reset();
  // Refused or lost: it stays first, for the next try.
  if (outcome != SendOutcome::Accepted) return;
  try {
    journal_.Remove(id);
  } catch (const journal::JournalError& error) {
    log_(std::string("vigimon.db cannot be written (") + error.what() + "); an SMS may go twice");
  }
}

OutboxPump::OutboxPump(SmsOutbox& outbox)
    : outbox_(outbox), thread_([this] {
        std::unique_lock hold(lock_);
        while (!stopping_) {
          hold.unlock();
          outbox_.Pump();
          hold.lock();
          wake_.wait_for(hold, std::chrono::seconds(1), [this] { return stopping_; });
        }
      }) {}

OutboxPump::~OutboxPump() {
  {
    std::lock_guard hold(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}
