// What the monitoring tells whoever keeps its figures (the metrics port):
// the terminals after each acquisition, the time of each poll, the SMS its
// alert checks and reports queue. Called on the monitor's thread right
// after the work, so that the terminals may be read there and then.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "monitor/alerts/alert_inputs.h"
#include "monitor/settings/monitor_settings.h"

class MonitoringObserver {
 public:
  virtual ~MonitoringObserver() = default;
  // A sequence ended, `platformUp` whether it succeeded; the terminals and
  // the settings as it left them.
  virtual void Acquired(const TerminalLookup& terminals, bool platformUp, const MonitorSettings& settings) = 0;
  // A poll of every terminal's state succeeded in `took`.
  virtual void Polled(std::chrono::duration<double> took) = 0;
  // An alert check raised the alerts of `areas` (TOTAL_AREA_ID: the whole
  // installation) and queued `messages` SMS for their contacts.
  virtual void AlertsRaised(const std::vector<int32_t>& areas, int messages) = 0;
  // A report time queued `messages` SMS.
  virtual void ReportsQueued(int messages) = 0;
};
