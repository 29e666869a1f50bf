#include "smsservice/host/quillon_metrics.h"

#include <string>
#include <utility>

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

MetricFamily One(std::string name, std::string help, MetricType type, double value,
                 std::vector<ClientMetric::Label> labels = {}) {
  ClientMetric metric;
  metric.label = std::move(labels);
  if (type == MetricType::Counter) metric.counter.value = value;
  else metric.gauge.value = value;
  return {std::move(name), std::move(help), type, {metric}};
}

// 0 closed, 1 opening, 2 ready: the higher the better, unlike the protocol's codes.
double StateValue(int state) {
  switch (state) {
    case MODEM_READY: return 2;
    case MODEM_OPENING: return 1;
    default: return 0;
  }
}

}  // namespace

std::vector<MetricFamily> QuillonMetrics::Collect() const {
  ModemReport report = modem_.Report();
  const HealthSnapshot& health = report.health;
  auto counter = MetricType::Counter;
  auto gauge = MetricType::Gauge;
  std::vector<MetricFamily> families = {
      One("quillon_modem_state", "The modem: 0 closed, 1 opening, 2 ready.", gauge, StateValue(report.state),
          {{"port", "COM" + std::to_string(report.port)}}),
      One("quillon_modem_registered", "1 when the modem is registered on a network (home or roaming).", gauge,
          IsRegistered(health.registration) ? 1 : 0),
      One("quillon_modem_signal_csq", "Signal as AT+CSQ tells it: 0-31, 99 not known.", gauge, health.signalCsq),
      One("quillon_sms_received_total", "Complete SMS received from the modem.", counter,
          static_cast<double>(health.received)),
      One("quillon_sms_sent_total", "SMS the modem confirmed sent.", counter, static_cast<double>(health.sent)),
      One("quillon_sms_send_failures_total", "Send attempts the modem or the network refused.", counter,
          static_cast<double>(health.sendFailures)),
      One("quillon_sms_dropped_total", "SMS given up or lost.", counter, static_cast<double>(health.dropped)),
      One("quillon_receive_queue_length", "Received SMS waiting for a client.", gauge, report.receiveQueue),
      One("quillon_send_queue_length", "SMS waiting to be sent.", gauge, report.sendQueue),
      One("quillon_modem_recoveries_total", "Times the service brought a lost modem back by itself.", counter,
          static_cast<double>(health.recoveries)),
  };
  MetricFamily requests{"quillon_requests_total", "Client requests answered, by type.", counter, {}};
  for (const auto& [type, count] : requests_.Counts()) {
    ClientMetric metric;
    metric.label = {{"type", type}};
    metric.counter.value = static_cast<double>(count);
    requests.metric.push_back(std::move(metric));
  }
  families.push_back(std::move(requests));
  return families;
}
