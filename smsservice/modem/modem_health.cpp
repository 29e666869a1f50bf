#include "smsservice/modem/modem_health.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/codepage/codepage.h"
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

void ModemHealth::NoteReceived(const ModemSms& sms) {
  std::lock_guard lock(mutex_);
  ++data_.received;
  Trace(false, sms, "received");
}

void ModemHealth::NoteSent(const ModemSms& sms) {
  std::lock_guard lock(mutex_);
  ++data_.sent;
  Trace(true, sms, "sent");
}

void ModemHealth::NoteGivenUp(const ModemSms& sms) {
  std::lock_guard lock(mutex_);
  ++data_.givenUp;
  ++data_.dropped;
  Trace(true, sms, "given up");
}

void ModemHealth::CountSendFailure() {
  std::lock_guard lock(mutex_);
  ++data_.sendFailures;
}

void ModemHealth::CountDropped() {
  std::lock_guard lock(mutex_);
  ++data_.dropped;
}

std::vector<SmsTrace> ModemHealth::RecentTraffic() const {
  std::lock_guard lock(mutex_);
  std::vector<SmsTrace> recent(recentIn_.begin(), recentIn_.end());
  recent.insert(recent.end(), recentOut_.begin(), recentOut_.end());
  return recent;
}

void ModemHealth::Trace(bool outgoing, const ModemSms& sms, const char* outcome) {
  std::string_view gbk(sms.text, strnlen(sms.text, sizeof sms.text));
  SmsTrace trace{outgoing, std::string(sms.number, strnlen(sms.number, sizeof sms.number)),
                 codepage::GbkToUtf8(gbk.substr(0, codepage::GbkPrefixLength(gbk, 80))), clock_.WallNow(), outcome};
  std::deque<SmsTrace>& recent = outgoing ? recentOut_ : recentIn_;
  recent.push_front(std::move(trace));
  if (recent.size() > kRecent) recent.pop_back();
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
