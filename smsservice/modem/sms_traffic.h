// The engine that owns all modem traffic once the start-up has succeeded:
// it sends queued messages and, after 5 s without a send, lists received
// ones and deletes them from the modem. Two 128-slot rings connect it with
// the request server's thread.
#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "smsservice/modem/manual_reset_event.h"
#include "smsservice/modem/modem_sms.h"

class CGsmMorden;

class CSmsTraffic {
 public:
  static constexpr int kRingSlots = 128;  // one slot stays free: 127 messages at most

  // Starts the engine thread at once. `owner` hears MODEM_CLOSED when the
  // engine stops.
  explicit CSmsTraffic(CGsmMorden* owner);
  // Tells the thread to stop and waits until it has ended: at most one step.
  virtual ~CSmsTraffic();
  CSmsTraffic(const CSmsTraffic&) = delete;
  CSmsTraffic& operator=(const CSmsTraffic&) = delete;

  // False, queueing nothing, when the send ring is full.
  bool PushSend(const ModemSms& record);
  bool PopSend(ModemSms& record);
  // Copies the complete records (part < 0) among `records` into the receive
  // ring, in order, while there is room; returns how many of `records` were
  // handled (every record before the first complete one that found no room).
  int PushIncoming(const ModemSms* records, int count);
  bool PopIncoming(ModemSms& record);

 private:
  void EngineThread();

  CGsmMorden* owner_;
  int sendWrite_ = 0;
  int sendRead_ = 0;
  int receiveWrite_ = 0;
  int receiveRead_ = 0;
  std::vector<ModemSms> sendRing_;
  std::vector<ModemSms> receiveRing_;
  std::mutex sendLock_;
  std::mutex receiveLock_;
  ManualResetEvent stopEvent_;
  ManualResetEvent doneEvent_;
  std::thread thread_;
};
