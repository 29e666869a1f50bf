#include "monitor/app/headless_monitor.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <syslog.h>

#include "monitor/acquisition/acquisition_sequences.h"
#include "monitor/alerts/offline_alerts.h"
#include "monitor/alerts/report_clock.h"
#include "monitor/app/monitor_adapters.h"
#include "monitor/view/status_texts.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "platform/signals/stop_signals.h"
#include "platform/ui/event_timers.h"
#include "platform/ui/headless_run.h"

int RunHeadlessMonitor() {
  openlog("Vigimon", LOG_PID, LOG_DAEMON);
  stop_signals::Block();  // before the agent and the clocks start their threads

  com::CoInitialize();
  broadcast_components::RegisterBroadcastComponents();
  MonitorSettings& settings = MonitorSettings::Instance();
  loadSettings(settings);

  std::unique_ptr<KestrumAgent> agent;
  try {
    agent = std::make_unique<KestrumAgent>(AGENT_MODE_SEND);
  } catch (const std::runtime_error& e) {
    ReportLine(e.what());
    return 1;
  }
  ReportingSender sender(*agent, [](const std::string& peer, const std::string& text, bool queued) {
    ReportLine(std::string(queued ? "sms queued: " : "sms dropped: ") + peer + " " + codepage::GbkToUtf8(text));
  });
  KestrumAgentControl agentControl(*agent);
  TerminalAcquisition acquisition(settings, SystemClock());
  AcquisitionLookup lookup(acquisition);

  StatusTexts status;
  std::array<std::string, 3> shown;
  auto updateStatus = [&] {
    auto texts = status.Update(&agentControl, acquisition.systemOk(), acquisition.offlineCount(), settings);
    for (size_t part = 0; part < texts.size(); ++part)
      if (texts[part] != shown[part])
        ReportLine("status " + std::to_string(part) + ": " + codepage::GbkToUtf8(texts[part]));
    shown = texts;
  };

  // No menu to ask for the connection: it is requested at once.
  agent->Connect(settings.comPort, settings.baudRate, "127.0.0.1");
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
  agent.reset();
  com::CoUninitialize();
  closelog();
  return 0;
}
