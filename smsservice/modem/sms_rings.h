// The two rings between the request server's thread and the traffic engine:
// messages waiting to be sent, and received messages waiting for a client.
// Each ring has its own lock, so either side may call from any thread.
#pragma once

#include <mutex>
#include <vector>

#include "smsservice/modem/modem_sms.h"

class SmsRings {
 public:
  static constexpr int kSlots = 128;  // one slot stays free: 127 messages at most

  SmsRings();
  SmsRings(const SmsRings&) = delete;
  SmsRings& operator=(const SmsRings&) = delete;

  // False, queueing nothing, when the send ring is full.
  bool PushSend(const ModemSms& record);
  bool PopSend(ModemSms& record);
  // Puts back a message taken for sending and not sent, ahead of the rest;
  // false when the ring has no room for it.
  bool ReturnSend(const ModemSms& record);
  // Copies the complete records (part < 0) among `records` into the receive
  // ring, in order, while there is room; returns how many of `records` were
  // handled (every record before the first complete one that found no room).
  int PushIncoming(const ModemSms* records, int count);
  bool PopIncoming(ModemSms& record);
  // The oldest received record, left in the ring until DropIncoming takes
  // it out: a client is handed it, and it goes only once the hand-over worked.
  bool PeekIncoming(ModemSms& record);
  // Takes the oldest record out when it is the one with `journalId`.
  void DropIncoming(int64_t journalId);
  // How many records each ring holds now.
  int SendWaiting();
  int ReceivedWaiting();

 private:
  int sendWrite_ = 0;
  int sendRead_ = 0;
  int receiveWrite_ = 0;
  int receiveRead_ = 0;
  std::vector<ModemSms> sendRing_;
  std::vector<ModemSms> receiveRing_;
  std::mutex sendLock_;
  std::mutex receiveLock_;
};
