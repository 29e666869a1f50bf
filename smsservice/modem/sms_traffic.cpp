#include "smsservice/modem/sms_traffic.h"

#include <chrono>
#include <syslog.h>
#include <utility>

#include "platform/log/activity_log.h"
#include "platform/timescale/timescale.h"
#include "smsservice/modem/sms_traffic_machine.h"

CSmsTraffic::CSmsTraffic(const ModemLink& link, std::function<void()> onStopped, std::vector<ModemSms> kept,
                         bool indications)
    : onStopped_(std::move(onStopped)), link_(link), kept_(std::move(kept)), indications_(indications), thread_([this] {
        EngineThread();
      }) {}

CSmsTraffic::~CSmsTraffic() {
  stopEvent_.Set();
  doneEvent_.Wait();
  thread_.join();
}

void CSmsTraffic::EngineThread() {
  SmsTrafficMachine machine(link_, std::move(kept_), indications_);
  bool answering = true;
  while (answering) {
    answering = machine.Step();
    // A stop request is heard between steps, so stopping waits for one step at most.
    if (stopEvent_.WaitFor(timescale::Real(std::chrono::milliseconds(20)))) break;
  }
  machine.ReturnUnsent();
  if (!answering) activity_log::Log(LOG_WARNING, "SMS engine stopped");
  if (onStopped_) onStopped_();
  doneEvent_.Set();
}
