// What Heraldo tells a Prometheus. States are read at the scrape itself;
// counts and timings are those the agent and the pipeline kept as things
// happened.
#pragma once

#include <vector>

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include "gateway/app/gateway_watch.h"

class HeraldoMetrics : public prometheus::Collectable {
 public:
  explicit HeraldoMetrics(GatewayWatch watch) : watch_(watch) {}
  std::vector<prometheus::MetricFamily> Collect() const override;

 private:
  GatewayWatch watch_;
};
