// The monitor's work, whichever face runs it: the start-up and poll
// sequences each followed by the alert check, the report when its time
// comes, the modem commands, the status, the settings saved at the end. The
// window (vigimon_window_logic.h) and the headless host drive this one
// object with the same periods and show or log what it reports.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "common/modem_agent_control.h"
#include "monitor/acquisition/terminal_acquisition.h"
#include "monitor/alerts/alert_inputs.h"
#include "monitor/alerts/offline_alerts.h"
#include "monitor/alerts/report_clock.h"
#include "monitor/settings/monitor_settings.h"
#include "monitor/view/monitoring_observer.h"
#include "monitor/view/status_texts.h"

// The status bar's three texts (GBK) and the icons of its first two parts,
// and which tray icon shows.
struct MonitorStatus {
  std::array<std::string, 3> texts;
  bool modemGood = false;
  bool systemGood = false;
  bool trayGood = false;  // everything fine: the normal icon
};

class MonitoringLogic {
 public:
  // Runs when a sequence read the areas anew (the window refills its selector).
  using AreasRead = std::function<void()>;

  // All must outlive this object; `agent` may be null (none could be made).
  // `clock` times the escalations.
  MonitoringLogic(MonitorSettings& settings, TerminalAcquisition& acquisition, ModemAgentControl* agent,
                  const TerminalLookup& lookup, AlertSender& sender, ReportClock& reportClock,
                  const Clock& clock = SystemClock());

  // The full sequence, then the alert check when it succeeded; the status.
  bool StartUp(const AreasRead& areasRead);
  // Every poll period: ids and states, then the alert check; the status.
  bool Poll();
  // A report time came: the report of every area, read afresh.
  void ReportDue(const AreasRead& areasRead);
  // Milliseconds between polls; never more than an int holds.
  int PollPeriodMs() const;

  bool CanConnect() const { return !agent_ || !agent_->ConnectRequested(); }
  bool CanDisconnect() const { return agent_ && agent_->ConnectRequested(); }
  void Connect();
  void Disconnect();

  // Before StartUp: `observer` hears the figures from now on (null: nobody);
  // it must outlive this object.
  void SetObserver(MonitoringObserver* observer) { observer_ = observer; }
  // After a sequence run from outside (the window's refresh and area
  // dialog): the observer hears the terminals it left.
  void TellAcquired();

  // Reads the agent and the last refresh into the status.
  const MonitorStatus& UpdateStatus();
  const MonitorStatus& status() const { return status_; }
  // The end: the report clock stops and the settings are saved.
  void Close();

  MonitorSettings& settings() { return settings_; }
  TerminalAcquisition& acquisition() { return acquisition_; }
  ReportClock& reportClock() { return reportClock_; }

 private:
  // The alert check, and the baselines saved when it queued alerts.
  void CheckAlerts();

  MonitorSettings& settings_;
  TerminalAcquisition& acquisition_;
  ModemAgentControl* agent_;
  const TerminalLookup& lookup_;
  AlertSender& sender_;
  ReportClock& reportClock_;
  const Clock& clock_;
  AlertMemory alertMemory_;
  MonitoringObserver* observer_ = nullptr;
  StatusTexts statusTexts_;
  MonitorStatus status_;
};
