#include "smsservice/modem/sms_rings.h"

namespace {

int Next(int position) { return (position + 1) % SmsRings::kSlots; }

}  // namespace

SmsRings::SmsRings() : sendRing_(kSlots), receiveRing_(kSlots) {}

bool SmsRings::PushSend(const ModemSms& record) {
  std::lock_guard lock(sendLock_);
  if (Next(sendWrite_) == sendRead_) return false;
  sendRing_[sendWrite_] = record;
  sendWrite_ = Next(sendWrite_);
  return true;
}

bool SmsRings::PopSend(ModemSms& record) {
  std::lock_guard lock(sendLock_);
  if (sendRead_ == sendWrite_) return false;
  record = sendRing_[sendRead_];
  sendRead_ = Next(sendRead_);
  return true;
}

bool SmsRings::ReturnSend(const ModemSms& record) {
  std::lock_guard lock(sendLock_);
  int before = (sendRead_ + kSlots - 1) % kSlots;
  if (before == sendWrite_) return false;
  sendRead_ = before;
  sendRing_[sendRead_] = record;
  return true;
}

int SmsRings::PushIncoming(const ModemSms* records, int count) {
  std::lock_guard lock(receiveLock_);
  for (int i = 0; i < count; ++i) {
    if (records[i].part >= 0) continue;  // an incomplete part waits in the partial table
    if (Next(receiveWrite_) == receiveRead_) return i;
    receiveRing_[receiveWrite_] = records[i];
    receiveWrite_ = Next(receiveWrite_);
  }
  return count;
}

bool SmsRings::PopIncoming(ModemSms& record) {
  std::lock_guard lock(receiveLock_);
  if (receiveRead_ == receiveWrite_) return false;
  record = receiveRing_[receiveRead_];
  receiveRead_ = Next(receiveRead_);
  return true;
}

bool SmsRings::PeekIncoming(ModemSms& record) {
  std::lock_guard lock(receiveLock_);
  if (receiveRead_ == receiveWrite_) return false;
  record = receiveRing_[receiveRead_];
  return true;
}

void SmsRings::DropIncoming(int64_t journalId) {
  std::lock_guard lock(receiveLock_);
  if (receiveRead_ == receiveWrite_ || receiveRing_[receiveRead_].journalId != journalId) return;
  receiveRead_ = Next(receiveRead_);
}

int SmsRings::SendWaiting() {
  std::lock_guard lock(sendLock_);
  return (sendWrite_ - sendRead_ + kSlots) % kSlots;
}

int SmsRings::ReceivedWaiting() {
  std::lock_guard lock(receiveLock_);
  return (receiveWrite_ - receiveRead_ + kSlots) % kSlots;
}
