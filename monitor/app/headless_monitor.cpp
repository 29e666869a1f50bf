#include "monitor/app/headless_monitor.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <syslog.h>

#include "monitor/alerts/report_clock.h"
#include "monitor/app/monitor_core.h"
#include "monitor/app/monitor_metrics.h"
#include "monitor/view/monitoring_logic.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "platform/signals/stop_signals.h"
#include "platform/ui/event_timers.h"
#include "platform/ui/headless_run.h"

namespace {

// A queued SMS can still be refused by the service (its queue full) or lost
// with the connection: the operator hears its end, not only its start.
void ReportSendOutcomes(MonitorCore& core) {
  core.SetSendOutcomes([](const SmsRecord& sms, SendOutcome outcome) {
    static constexpr const char* kEnds[] = {"sms accepted by the service: ", "sms refused by the service: ",
                                            "sms lost with the connection to the service: "};
    ReportLine(kEnds[static_cast<int>(outcome)] + std::string(sms.peer, strnlen(sms.peer, sizeof sms.peer)) + " " +
               codepage::GbkToUtf8(std::string(sms.text, strnlen(sms.text, sizeof sms.text))));
  });
  core.SetNotes([](const std::string& line) { ReportLine("outbox: " + line); });
}

// What the window's status bar would show, one line per change.
class StatusLog {
 public:
  void Report(const MonitorStatus& status) {
    for (size_t part = 0; part < status.texts.size(); ++part)
      if (status.texts[part] != shown_[part])
        ReportLine("status " + std::to_string(part) + ": " + codepage::GbkToUtf8(status.texts[part]));
    shown_ = status.texts;
  }

 private:
  std::array<std::string, 3> shown_;
};

// The core, with every SMS it hands on told from its queueing to its end;
// nothing, with the reason told, when it cannot start.
std::unique_ptr<MonitorCore> StartCore(MonitorSettings& settings) {
  std::string error;
  std::unique_ptr<MonitorCore> core = MonitorCore::Start(
      settings,
      [](const std::string& peer, const std::string& text, bool queued) {
        ReportLine(std::string(queued ? "sms queued: " : "sms dropped: ") + peer + " " + codepage::GbkToUtf8(text));
      },
      error);
  if (!core) {
    ReportLine(error);
    return nullptr;
  }
  ReportSendOutcomes(*core);
  return core;
}

}  // namespace

int RunHeadlessMonitor(MonitorSettings& settings, const std::string& metricsAddress) {
  openlog("Vigimon", LOG_PID, LOG_DAEMON);
  stop_signals::Block();  // before the agent and the clocks start their threads

  std::unique_ptr<MonitorCore> core = StartCore(settings);
  if (!core) return 1;
  auto apartment = com::Apartment::Current();
  MonitoringLogic* shared = nullptr;
  ReportClock reportClock([apartment, &shared] {
    apartment->Post([&shared] {
      ReportLine("report due");
      shared->ReportDue([] {});
    });
  });
  MonitoringLogic monitoring(settings, *core->acquisition, core->agentControl.get(), *core->lookup, *core->sender,
                             reportClock);
  shared = &monitoring;
  monitoring.SetObserver(&core->tally);
  std::unique_ptr<metrics::Endpoint> metricsEndpoint = ServeMonitorMetrics(*core, metricsAddress, ReportLine);

  StatusLog statusLog;
  auto logStatus = [&] { statusLog.Report(monitoring.UpdateStatus()); };

  // No menu to ask for the connection: it is requested at once.
  monitoring.Connect();
  ReportLine("Vigimon headless: settings " + settings.iniPath + ", poll every " +
             std::to_string(settings.pollInterval) + " s, " + std::to_string(settings.reportTimes.size()) +
             " report times");
  reportClock.SetSchedule(settings.reportTimes);
  monitoring.StartUp([] {});
  logStatus();
  reportClock.Start();

  EventTimers timers;
  timers.Add(std::chrono::milliseconds(monitoring.PollPeriodMs()), [&] {
    monitoring.Poll();
    logStatus();
  });
  timers.Add(std::chrono::seconds(1), logStatus);  // the modem's state changes between polls too
  timers.Run(stop_signals::Arrived);

  ReportLine("Vigimon stopping");
  monitoring.Close();
  metricsEndpoint.reset();  // no scrape reads the core past here
  core.reset();
  closelog();
  return 0;
}
