#include "monitor/app/vigimon_metrics.h"

#include <map>
#include <utility>

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

ClientMetric Value(MetricType type, double value, std::vector<ClientMetric::Label> labels = {}) {
  ClientMetric metric;
  metric.label = std::move(labels);
  if (type == MetricType::Counter) metric.counter.value = value;
  else metric.gauge.value = value;
  return metric;
}

}  // namespace

std::vector<std::string> AreaLabels(const std::vector<AreaFigures>& areas) {
  std::map<std::string, int> uses;
  for (const AreaFigures& area : areas) ++uses[area.name];
  std::vector<std::string> labels;
  for (const AreaFigures& area : areas) {
    bool plain = !area.name.empty() && uses[area.name] == 1;
    labels.push_back(plain ? area.name : area.name + (area.name.empty() ? "#" : " #") + std::to_string(area.id));
  }
  return labels;
}

std::vector<MetricFamily> VigimonMetrics::Collect() const {
  MonitorFigures figures = watch_.tally.Figures();
  auto counter = MetricType::Counter;
  auto gauge = MetricType::Gauge;

  MetricFamily areas{"vigimon_area_offline", "Offline terminals of each area, as the last poll found them.", gauge, {}};
  std::vector<std::string> labels = AreaLabels(figures.areas);
  for (size_t i = 0; i < figures.areas.size(); ++i)
    areas.metric.push_back(Value(gauge, figures.areas[i].offline, {{"area", labels[i]}}));

  ClientMetric poll = watch_.tally.PollSeconds();
  return {
      {"vigimon_terminals",
       "Terminals the last poll found, by state.",
       gauge,
       {Value(gauge, figures.online, {{"state", "online"}}), Value(gauge, figures.offline, {{"state", "offline"}})}},
      std::move(areas),
      {"vigimon_alerts_sent_total",
       "Alert SMS queued for the areas' contacts.",
       counter,
       {Value(counter, static_cast<double>(figures.alertsSent))}},
      {"vigimon_reports_sent_total",
       "Report SMS queued at the report times.",
       counter,
       {Value(counter, static_cast<double>(figures.reportsSent))}},
      {"vigimon_poll_seconds", "Time one poll of every terminal's state took.", MetricType::Histogram, {poll}},
      {"vigimon_platform_up",
       "1 when the platform's terminal information service answered the last poll.",
       gauge,
       {Value(gauge, figures.platformUp ? 1 : 0)}},
      {"vigimon_sms_service_up",
       "1 when connected to the SMS service and its modem is ready.",
       gauge,
       {Value(gauge, SmsLinkOf(watch_.agent) == SmsLink::Ready ? 1 : 0)}},
  };
}
