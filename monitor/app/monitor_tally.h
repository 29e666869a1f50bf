// The monitoring's figures kept for the metrics port: the terminals and
// every area's offline count as the last acquisition left them, the alerts
// and reports queued, the poll times. Counted on the monitor's thread as
// the work ends, so that a scrape only copies a few numbers under a short
// lock, however many terminals there are.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <prometheus/client_metric.h>
#include <prometheus/histogram.h>

#include "monitor/view/monitoring_observer.h"
#include "platform/clock/clock.h"

struct AreaFigures {
  int32_t id = 0;
  std::string name;  // UTF-8
  int offline = 0;
  int total = 0;              // its members the terminal table knows
  std::time_t alertedAt = 0;  // its last alert since the start; 0: none
};

struct MonitorFigures {
  bool acquired = false;    // a sequence has run since the start
  bool platformUp = false;  // the last one succeeded
  std::time_t acquiredAt = 0;
  int online = 0;
  int offline = 0;
  std::time_t installationAlertedAt = 0;
  std::vector<AreaFigures> areas;  // the settings' areas, by id
  uint64_t alertsSent = 0;
  uint64_t reportsSent = 0;
};

class MonitorTally final : public MonitoringObserver {
 public:
  // `clock` tells when things happened; it must outlive the tally.
  explicit MonitorTally(const Clock& clock);

  void Acquired(const TerminalLookup& terminals, bool platformUp, const MonitorSettings& settings) override;
  void Polled(std::chrono::duration<double> took) override;
  void AlertsRaised(const std::vector<int32_t>& areas, int messages) override;
  void ReportsQueued(int messages) override;

  MonitorFigures Figures() const;
  // The poll times in seconds.
  prometheus::ClientMetric PollSeconds() const;

 private:
  const Clock& clock_;
  mutable std::mutex lock_;
  MonitorFigures figures_;
  std::map<int32_t, std::time_t> alertedAt_;
  prometheus::Histogram pollSeconds_;  // keeps its own lock
};
