// What Vigimon tells a Prometheus: the figures the monitoring kept as its
// work ended, and the SMS service's state read at the scrape.
#pragma once

#include <string>
#include <vector>

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include "monitor/app/monitor_watch.h"

class VigimonMetrics : public prometheus::Collectable {
 public:
  explicit VigimonMetrics(MonitorWatch watch) : watch_(watch) {}
  std::vector<prometheus::MetricFamily> Collect() const override;

 private:
  MonitorWatch watch_;
};

// The label of each area, in the order given: its name, or, when another
// area has the same name or it has none, its name and " #id", so that no
// two areas share a series.
std::vector<std::string> AreaLabels(const std::vector<AreaFigures>& areas);
