// What the service knows of its modem beyond the state clients see: who
// made it, whether it is on the network, how well it hears, how full its
// storage is, and what went wrong. The start-up and the engine write it as
// they learn; status requests and the service manager's status line read
// it, from other threads.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/clock/clock.h"
#include "smsservice/modem/at_replies.h"

inline constexpr int kRegistrationNotKnown = -1;
inline constexpr int kSignalNotKnown = 99;

struct ModemIdentity {
  std::string maker, model, imei;
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
  void CountGivenUp();
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
  // Runs (outside the lock) after registration or signal changed.
  void OnChange(std::function<void()> listener);

 private:
  void Changed(bool changed, std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  HealthSnapshot data_;
  Clock::Monotonic::time_point unregisteredSince_{};
  const Clock& clock_;
  std::function<void()> listener_;
};
