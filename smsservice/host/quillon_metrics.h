// What Quillon tells a Prometheus. Every value is read from the modem and
// the request server at the scrape itself, so none can go stale.
#pragma once

#include <vector>

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include "smsservice/modem/gsm_modem.h"
#include "smsservice/server/request_tally.h"

class QuillonMetrics : public prometheus::Collectable {
 public:
  QuillonMetrics(CGsmMorden& modem, const RequestTally& requests) : modem_(modem), requests_(requests) {}
  std::vector<prometheus::MetricFamily> Collect() const override;

 private:
  CGsmMorden& modem_;
  const RequestTally& requests_;
};
