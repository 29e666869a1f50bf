#include "monitor/app/headless_monitor.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <syslog.h>

#include "monitor/acquisition/acquisition_sequences.h"
#include "monitor/alerts/offline_alerts.h"
#include "monitor/alerts/report_clock.h"
#include "monitor/app/monitor_core.h"
#include "monitor/view/status_texts.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "platform/signals/stop_signals.h"
#include "platform/ui/event_timers.h"
#include "platform/ui/headless_run.h"

int RunHeadlessMonitor(MonitorSettings& settings) {
  openlog("Vigimon", LOG_PID, LOG_DAEMON);
  stop_signals::Block();  // before the agent and the clocks start their threads

  std::string error;
  std::unique_ptr<MonitorCore> core = MonitorCore::Start(
      settings,
      [](const std::string& peer, const std::string& text, bool queued) {
        ReportLine(std::string(queued ? "sms queued: " : "sms dropped: ") + peer + " " + codepage::GbkToUtf8(text));
      },
      error);
  if (!core) {
    ReportLine(error);
    return 1;
  }
  // A queued SMS can still be refused by the service (its queue full) or lost
  // with the connection: the operator hears its end, not only its start.
  core->agent->SetSendObserver([](const SmsRecord& sms, SendOutcome outcome) {
    static constexpr const char* kEnds[] = {"sms accepted by the service: ", "sms refused by the service: ",
                                            "sms lost with the connection to the service: "};
    ReportLine(kEnds[static_cast<int>(outcome)] + std::string(sms.peer, strnlen(sms.peer, sizeof sms.peer)) + " " +
               codepage::GbkToUtf8(std::string(sms.text, strnlen(sms.text, sizeof sms.text))));
  });
  TerminalAcquisition& acquisition = *core->acquisition;
  AcquisitionLookup& lookup = *core->lookup;
  ReportingSender& sender = *core->sender;

  StatusTexts status;
  std::array<std::string, 3> shown;
  auto updateStatus = [&] {
    auto texts = status.Update(core->agentControl.get(), acquisition.systemOk(), acquisition.offlineCount(), settings);
    for (size_t part = 0; part < texts.size(); ++part)
      if (texts[part] != shown[part])
        ReportLine("status " + std::to_string(part) + ": " + codepage::GbkToUtf8(texts[part]));
    shown = texts;
  };

  // No menu to ask for the connection: it is requested at once.
  core->agent->Connect(settings.comPort, settings.baudRate, "127.0.0.1");
  ReportLine("Vigimon headless: settings " + settings.iniPath + ", poll every " +
             std::to_string(settings.pollInterval) + " s, " + std::to_string(settings.reportTimes.size()) +
             " report times");

  auto apartment = com::Apartment::Current();
  ReportClock reportClock([apartment, &settings, &acquisition, &lookup, &sender] {
    apartment->Post([&] {
      ReportLine("report due");
      sendScheduledReport(
          settings, acquisition.systemOk(), [&] { return RunReportReloadSequence(acquisition, [] {}); }, lookup,
          &sender);
    });
  });
  reportClock.SetSchedule(settings.reportTimes);

  if (RunStartUpSequence(acquisition, [] {})) checkOfflineAlerts(settings, lookup, &sender);
  updateStatus();
  reportClock.Start();

  EventTimers timers;
  timers.Add(std::chrono::seconds(settings.pollInterval), [&] {
    if (RunPollSequence(acquisition)) checkOfflineAlerts(settings, lookup, &sender);
    updateStatus();
  });
  timers.Add(std::chrono::seconds(1), updateStatus);  // the modem's state changes between polls too
  timers.Run(stop_signals::Arrived);

  ReportLine("Vigimon stopping");
  reportClock.Stop();
  saveSettings(settings);
  core.reset();
  closelog();
  return 0;
}
