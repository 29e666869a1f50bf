#include "smsservice/modem/sms_traffic.h"

#include <chrono>
#include <syslog.h>
#include <utility>

#include "platform/log/activity_log.h"
#include "platform/systemd/service_notifier.h"
#include "platform/timescale/timescale.h"

CSmsTraffic::CSmsTraffic(const ModemLink& link, std::function<void(EngineStop)> onStopped, EngineSettings settings)
    : onStopped_(std::move(onStopped)),
      link_(link),
      settings_(std::move(settings)),
      thread_([this] { EngineThread(); }) {}

CSmsTraffic::~CSmsTraffic() {
  stopEvent_.Set();
  doneEvent_.Wait();
  thread_.join();
}

void CSmsTraffic::EngineThread() {
  SmsTrafficMachine machine(link_, std::move(settings_));
  bool running = true;
  while (running) {
    running = machine.Step();
    // The watchdog is fed from here: an engine stuck in a step stops feeding it.
    service_notifier::Alive();
    // A stop request is heard between steps, so stopping waits for one step at most.
    if (stopEvent_.WaitFor(timescale::Real(std::chrono::milliseconds(20)))) break;
  }
  machine.ReturnUnsent();
  EngineStop reason = running ? EngineStop::kTold : machine.stopReason();
  if (!running) activity_log::Log(LOG_WARNING, "SMS engine stopped: %s", EngineStopText(reason));
  if (onStopped_) onStopped_(reason);
  doneEvent_.Set();
}
