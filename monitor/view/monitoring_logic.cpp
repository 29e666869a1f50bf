#include "monitor/view/monitoring_logic.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <ctime>
#include <map>
#include <vector>

#include "monitor/acquisition/acquisition_sequences.h"
#include "monitor/alerts/offline_alerts.h"

MonitoringLogic::MonitoringLogic(MonitorSettings& settings, TerminalAcquisition& acquisition, ModemAgentControl* agent,
                                 const TerminalLookup& lookup, AlertSender& sender, ReportClock& reportClock,
                                 const Clock& clock)
    : settings_(settings),
      acquisition_(acquisition),
      agent_(agent),
      lookup_(lookup),
      sender_(sender),
      reportClock_(reportClock),
      clock_(clock) {}

bool MonitoringLogic::StartUp(const AreasRead& areasRead) {
  bool ok = RunStartUpSequence(acquisition_, areasRead);
  if (ok) CheckAlerts();
  TellAcquired();
  UpdateStatus();
  return ok;
}

bool MonitoringLogic::Poll() {
  auto began = std::chrono::steady_clock::now();
  bool ok = RunPollSequence(acquisition_);
  if (ok && observer_) observer_->Polled(std::chrono::steady_clock::now() - began);
  if (ok) CheckAlerts();
  TellAcquired();
  UpdateStatus();
  return ok;
}

void MonitoringLogic::TellAcquired() {
  if (observer_) observer_->Acquired(lookup_, acquisition_.systemOk(), settings_);
}

namespace {

// Counts what the alert check and the report hand on, and what was taken.
class CountingSender final : public AlertSender {
 public:
  explicit CountingSender(AlertSender& next) : next_(next) {}
  bool QueueSend(const char* centre, const char* peer, const char* text, uint8_t dcs) override {
    ++count;
    bool queued = next_.QueueSend(centre, peer, text, dcs);
    if (queued) ++taken;
    return queued;
  }
  int count = 0;
  int taken = 0;

 private:
  AlertSender& next_;
};

}  // namespace

void MonitoringLogic::CheckAlerts() {
  // An alert moves its area's baseline up to the offline count, and nothing
  // else moves a baseline up: a rise tells which areas were alerted.
  std::map<int32_t, int32_t> baselines;
  for (const auto& [id, area] : settings_.areas) baselines[id] = area.lastOfflineCount;
  CountingSender counting(sender_);
  std::time_t wall = clock_.WallNow();
  std::tm local{};
  localtime_r(&wall, &local);
  checkOfflineAlerts(settings_, lookup_, &counting, alertMemory_, clock_.MonotonicNow(),
                     TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec});
  // The alerts wait in the outbox; their baselines are written with them,
  // so that a monitor killed now does not raise them again when it restarts.
  if (counting.count > 0) saveSettings(settings_);
  if (!observer_) return;
  std::vector<int32_t> raised;
  for (const auto& [id, area] : settings_.areas) {
    auto before = baselines.find(id);
    if (before != baselines.end() && area.lastOfflineCount > before->second) raised.push_back(id);
  }
  if (!raised.empty() || counting.taken > 0) observer_->AlertsRaised(raised, counting.taken);
}

void MonitoringLogic::ReportDue(const AreasRead& areasRead) {
  CountingSender counting(sender_);
  sendScheduledReport(
      settings_, acquisition_.systemOk(), [&] { return RunReportReloadSequence(acquisition_, areasRead); }, lookup_,
      &counting);
  if (observer_ && counting.taken > 0) observer_->ReportsQueued(counting.taken);
  TellAcquired();  // the report may have read the terminals anew
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
