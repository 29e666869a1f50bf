// Where the monitor's alerts and reports wait for the modem. Each is
// committed to the outbox's journal before the caller goes on (so before an
// alert's baseline moves), then handed to the SMS service, oldest first and
// one at a time, as soon as the service takes it; a message the service
// never takes within the hold time is given up with a log line. A message
// leaves the outbox only once the service has said it is queued.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/kestrum_agent.h"
#include "monitor/alerts/alert_inputs.h"
#include "platform/clock/clock.h"

struct OutboxEntry {
  int64_t id = 0;
  std::time_t queued = 0;
  std::string centre, peer, text;  // text in GBK
  uint8_t dcs = 8;
};

class OutboxJournal {
 public:
  virtual ~OutboxJournal() = default;
  virtual int64_t Add(const OutboxEntry& entry) = 0;
  virtual void Remove(int64_t id) = 0;
  // Oldest first.
  virtual std::vector<OutboxEntry> Waiting() = 0;
};

class SmsOutbox final : public AlertSender {
 public:
  // Messages go to `carrier` (the client agent); `log` hears, in UTF-8,
  // each message given up. All must outlive the outbox.
  SmsOutbox(OutboxJournal& journal, AlertSender& carrier, const Clock& clock, int holdMinutes,
            std::function<void(const std::string&)> log);

  // Journals the message; true once it is (or, when the journal cannot be
  // written, once the carrier took it).
  bool QueueSend(const char* centre, const char* peer, const char* text, uint8_t dcs) override;
  // Gives up what waited too long, then hands the oldest message to the
  // carrier unless one is already on its way.
  void Pump();
  // What became of the message on its way (the agent's observer).
  void Heard(SendOutcome outcome);

 private:
  OutboxJournal& journal_;
  AlertSender& carrier_;
  const Clock& clock_;
  const std::time_t holdS_;
  std::function<void(const std::string&)> log_;
  std::mutex lock_;
  std::optional<int64_t> onItsWay_;
};

// Pumps an outbox once a second on a thread of its own, so that neither face
// of the monitor has to.
class OutboxPump {
 public:
  explicit OutboxPump(SmsOutbox& outbox);
  ~OutboxPump();
  OutboxPump(const OutboxPump&) = delete;
  OutboxPump& operator=(const OutboxPump&) = delete;

 private:
  SmsOutbox& outbox_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once everything above exists
};
