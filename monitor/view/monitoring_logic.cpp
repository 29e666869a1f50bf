#include "monitor/view/monitoring_logic.h"

#include <algorithm>
#include <climits>

#include "monitor/acquisition/acquisition_sequences.h"
#include "monitor/alerts/offline_alerts.h"

MonitoringLogic::MonitoringLogic(MonitorSettings& settings, TerminalAcquisition& acquisition, ModemAgentControl* agent,
                                 const TerminalLookup& lookup, AlertSender& sender, ReportClock& reportClock)
    : settings_(settings),
      acquisition_(acquisition),
      agent_(agent),
      lookup_(lookup),
      sender_(sender),
      reportClock_(reportClock) {}

bool MonitoringLogic::StartUp(const AreasRead& areasRead) {
  bool ok = RunStartUpSequence(acquisition_, areasRead);
  if (ok) checkOfflineAlerts(settings_, lookup_, &sender_);
  UpdateStatus();
  return ok;
}

bool MonitoringLogic::Poll() {
  bool ok = RunPollSequence(acquisition_);
  if (ok) checkOfflineAlerts(settings_, lookup_, &sender_);
  UpdateStatus();
  return ok;
}

void MonitoringLogic::ReportDue(const AreasRead& areasRead) {
  sendScheduledReport(
      settings_, acquisition_.systemOk(), [&] { return RunReportReloadSequence(acquisition_, areasRead); }, lookup_,
      &sender_);
}

int MonitoringLogic::PollPeriodMs() const {
  // An interval typed into the INI by hand must not wrap into a negative period.
  return static_cast<int>(std::min<long long>(static_cast<long long>(settings_.pollInterval) * 1000, INT_MAX));
}

void MonitoringLogic::Connect() {
  if (agent_) agent_->Connect(settings_.comPort, settings_.baudRate, "127.0.0.1");
  UpdateStatus();
}

void MonitoringLogic::Disconnect() {
  if (agent_) agent_->Disconnect();
  UpdateStatus();
}

const MonitorStatus& MonitoringLogic::UpdateStatus() {
  status_.texts = statusTexts_.Update(agent_, acquisition_.systemOk(), acquisition_.offlineCount(), settings_);
  status_.modemGood = statusTexts_.modemConnected();
  status_.systemGood = acquisition_.systemOk();
  status_.trayGood = status_.modemGood && status_.systemGood;
  return status_;
}

void MonitoringLogic::Close() {
  reportClock_.Stop();
  saveSettings(settings_);
}
