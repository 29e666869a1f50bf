// The engine that owns all modem traffic once the start-up has succeeded:
// a thread that runs the traffic state machine (sms_traffic_machine.h) step
// by step over the two rings that connect it with the request server's
// thread. The rings outlive the engine, so what they hold waits for the next
// one when the modem stops.
#pragma once

#include <functional>
#include <thread>
#include <vector>

#include "smsservice/modem/manual_reset_event.h"
#include "smsservice/modem/modem_link.h"
#include "smsservice/modem/modem_sms.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/serial_line.h"
#include "smsservice/modem/sms_rings.h"
#include "smsservice/modem/sms_traffic_machine.h"

class CSmsTraffic {
 public:
  // Starts the engine thread at once. `onStopped` runs on that thread when
  // the engine stops, with the reason, whether the modem failed or the
  // engine was told to stop, before the destructor may return.
  // The link's parts must outlive the engine.
  CSmsTraffic(const ModemLink& link, std::function<void(EngineStop)> onStopped, EngineSettings settings = {});
  // Tells the thread to stop and waits until it has ended: at most one step.
  virtual ~CSmsTraffic();
  CSmsTraffic(const CSmsTraffic&) = delete;
  CSmsTraffic& operator=(const CSmsTraffic&) = delete;

 private:
  void EngineThread();

  std::function<void(EngineStop)> onStopped_;
  ModemLink link_;
  EngineSettings settings_;
  ManualResetEvent stopEvent_;
  ManualResetEvent doneEvent_;
  std::thread thread_;  // last: it starts once everything above exists
};
