#include "smsservice/modem/modem_health.h"

#include <algorithm>
#include <utility>

#include "platform/timescale/timescale.h"

const char* RegistrationName(int status) {
  switch (status) {
    case 0: return "not-registered";
    case 1: return "home";
    case 2: return "searching";
    case 3: return "denied";
    case 5: return "roaming";
    default: return "unknown";
  }
}

std::optional<int> SignalDbm(int csq) {
  if (csq < 0 || csq > 31) return std::nullopt;
  return -113 + 2 * csq;
}

void ModemHealth::SetRegistration(int status) {
  std::unique_lock lock(mutex_);
  bool wasUnregistered = data_.registration != kRegistrationNotKnown && !IsRegistered(data_.registration);
  bool unregistered = status != kRegistrationNotKnown && !IsRegistered(status);
  if (unregistered && !wasUnregistered) unregisteredSince_ = clock_.MonotonicNow();
  bool changed = data_.registration != status;
  data_.registration = status;
  Changed(changed, lock);
}

void ModemHealth::SetSignal(int csq) {
  std::unique_lock lock(mutex_);
  if (csq < 0 || csq > 31) csq = kSignalNotKnown;
  bool changed = data_.signalCsq != csq;
  data_.signalCsq = csq;
  Changed(changed, lock);
}

void ModemHealth::SetStorage(StorageUse use) {
  std::lock_guard lock(mutex_);
  data_.storageUsed = use.used;
  data_.storageTotal = use.total;
}

void ModemHealth::SetStorageUsed(int used) {
  std::lock_guard lock(mutex_);
  data_.storageUsed = used;
}

void ModemHealth::SetMessageInHand(bool inHand) {
  std::lock_guard lock(mutex_);
  data_.messageInHand = inHand;
}

void ModemHealth::CountStored(int change) {
  std::lock_guard lock(mutex_);
  if (data_.storageUsed < 0) return;
  data_.storageUsed = std::max(0, data_.storageUsed + change);
  if (data_.storageTotal > 0) data_.storageUsed = std::min(data_.storageUsed, data_.storageTotal);
}

void ModemHealth::SetIdentity(ModemIdentity identity) {
  std::lock_guard lock(mutex_);
  data_.identity = std::move(identity);
}

void ModemHealth::CountGivenUp() {
  std::lock_guard lock(mutex_);
  ++data_.givenUp;
}

void ModemHealth::CountRecovery() {
  std::lock_guard lock(mutex_);
  ++data_.recoveries;
}

void ModemHealth::NoteError(std::string text) {
  std::lock_guard lock(mutex_);
  data_.lastError = std::move(text);
}

bool ModemHealth::KnownUnregistered() const {
  std::lock_guard lock(mutex_);
  return data_.registration != kRegistrationNotKnown && !IsRegistered(data_.registration);
}

long ModemHealth::UnregisteredSeconds() const {
  std::lock_guard lock(mutex_);
  if (data_.registration == kRegistrationNotKnown || IsRegistered(data_.registration)) return 0;
  return timescale::ElapsedSeconds(unregisteredSince_, clock_.MonotonicNow());
}

HealthSnapshot ModemHealth::Snapshot() const {
  std::lock_guard lock(mutex_);
  return data_;
}

void ModemHealth::OnChange(std::function<void()> listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

void ModemHealth::Changed(bool changed, std::unique_lock<std::mutex>& lock) {
  std::function<void()> listener = changed ? listener_ : nullptr;
  lock.unlock();
  if (listener) listener();
}
