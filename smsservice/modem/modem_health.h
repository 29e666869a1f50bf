// What the service knows of its modem beyond the state clients see: who
// made it, whether it is on the network, how well it hears, how full its
// storage is, and what went wrong. The start-up and the engine write it as
// they learn; status requests and the service manager's status line read
// it, from other threads.
#pragma once

#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "smsservice/modem/at_replies.h"
#include "smsservice/modem/modem_sms.h"

inline constexpr int kRegistrationNotKnown = -1;
inline constexpr int kSignalNotKnown = 99;

struct ModemIdentity {
  std::string maker, model, imei;
};

// One SMS that went in or out, for the status page.
struct SmsTrace {
  bool outgoing = false;
  std::string number;
  std::string text;  // UTF-8, its first words
  std::time_t when = 0;
  std::string outcome;  // "received", "sent", "given up"
};

struct HealthSnapshot {
  int registration = kRegistrationNotKnown;  // "+CREG" status
  int signalCsq = kSignalNotKnown;           // 0-31, 99 not known
  int storageUsed = -1, storageTotal = -1;   // -1 not known
  ModemIdentity identity;
  uint32_t givenUp = 0;     // messages to send that were given up
  uint32_t recoveries = 0;  // times the modem was brought back after it was lost
  std::string lastError;
  bool messageInHand = false;  // the engine holds a message to send outside the queue
  // Since the service started.
  uint64_t received = 0;      // complete messages handed to the receive queue
  uint64_t sent = 0;          // messages the modem confirmed
  uint64_t sendFailures = 0;  // attempts the modem or the network refused
  uint64_t dropped = 0;       // messages given up or lost
};

// "home", "roaming", "searching", "denied", "not-registered", "unknown".
const char* RegistrationName(int status);
// The signal in dBm (0 is -113 dBm or less, 31 is -51 or more); nothing
// when it is not known.
std::optional<int> SignalDbm(int csq);

class ModemHealth {
 public:
  explicit ModemHealth(const Clock& clock) : clock_(clock) {}

  // kRegistrationNotKnown forgets what was known (a modem that went away).
  void SetRegistration(int status);
  void SetSignal(int csq);
  void SetStorage(StorageUse use);
  void SetStorageUsed(int used);
  // A message deleted (-1) since the storage was counted.
  void CountStored(int change);
  void SetMessageInHand(bool inHand);
  void SetIdentity(ModemIdentity identity);
  // Counted, and kept among the recent traffic.
  void NoteReceived(const ModemSms& sms);
  void NoteSent(const ModemSms& sms);
  void NoteGivenUp(const ModemSms& sms);
  void CountSendFailure();
  void CountDropped();
  void CountRecovery();
  void NoteError(std::string text);

  // Known to be off the network: registration was asked and is neither
  // home nor roaming. Not known counts as registered: a modem that does not
  // answer the question still sends.
  bool KnownUnregistered() const;
  // Whole nominal seconds since the modem was last known to be registered
  // (or since it was first known not to be); 0 unless KnownUnregistered.
  long UnregisteredSeconds() const;
  HealthSnapshot Snapshot() const;
  // The last kRecent messages in and the last kRecent out, newest first.
  static constexpr size_t kRecent = 20;
  std::vector<SmsTrace> RecentTraffic() const;
  // Runs (outside the lock) after registration or signal changed.
  void OnChange(std::function<void()> listener);

 private:
  void Changed(bool changed, std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  void Trace(bool outgoing, const ModemSms& sms, const char* outcome);

  HealthSnapshot data_;
  std::deque<SmsTrace> recentIn_, recentOut_;
  Clock::Monotonic::time_point unregisteredSince_{};
  const Clock& clock_;
  std::function<void()> listener_;
};
