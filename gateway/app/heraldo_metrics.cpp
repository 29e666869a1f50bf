#include "gateway/app/heraldo_metrics.h"

#include <string>
#include <utility>

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

MetricFamily One(std::string name, std::string help, MetricType type, double value) {
  ClientMetric metric;
  if (type == MetricType::Counter) metric.counter.value = value;
  else metric.gauge.value = value;
  return {std::move(name), std::move(help), type, {metric}};
}

// In the order of BroadcastResult and BroadcastStage.
constexpr const char* kResultNames[kBroadcastResults] = {"played", "refused", "failed"};
constexpr const char* kStageNames[kBroadcastStages] = {"wait", "speech", "encode", "session", "total"};

MetricFamily Broadcasts(const BroadcastTally& tally) {
  MetricFamily family{"heraldo_broadcasts_total",
                      "Broadcasts ended: played on the terminals; refused (a sender without the right, or "
                      "nothing to speak); failed (speech, encoding, terminals or session failed, or expired).",
                      MetricType::Counter,
                      {}};
  auto results = tally.Results();
  for (int result = 0; result < kBroadcastResults; ++result) {
    ClientMetric metric;
    metric.label = {{"result", kResultNames[result]}};
    metric.counter.value = static_cast<double>(results[result]);
    family.metric.push_back(std::move(metric));
  }
  return family;
}

MetricFamily Stages(const BroadcastTally& tally) {
  MetricFamily family{"heraldo_stage_seconds",
                      "Where a message's time from its arrival to its end on the loudspeakers goes: wait (for its "
                      "turn, before speech and before its session), speech (text to WAV), encode (WAV to MP3), "
                      "session (until played), total (arrival to played).",
                      MetricType::Histogram,
                      {}};
  for (int stage = 0; stage < kBroadcastStages; ++stage) {
    ClientMetric metric = tally.StageSeconds(static_cast<BroadcastStage>(stage));
    metric.label = {{"stage", kStageNames[stage]}};
    family.metric.push_back(std::move(metric));
  }
  return family;
}

}  // namespace

std::vector<MetricFamily> HeraldoMetrics::Collect() const {
  auto counter = MetricType::Counter;
  auto gauge = MetricType::Gauge;
  // Before its first message the gateway has not needed the server: no failure is known.
  bool serverUp = watch_.server.state() != ServerContact::State::Missed;
  return {
      One("heraldo_sms_received_total", "SMS fetched from the SMS service.", counter,
          static_cast<double>(watch_.arrivals.Total())),
      Broadcasts(watch_.tally),
      One("heraldo_queue_length", "Messages waiting to be broadcast.", gauge, static_cast<double>(QueueLength(watch_))),
      One("heraldo_broadcast_server_up",
          "0 when the broadcast server failed the gateway the last time it was needed (no terminal list, no "
          "session, audio lost), else 1.",
          gauge, serverUp ? 1 : 0),
      One("heraldo_sms_service_up", "1 when connected to the SMS service and its modem is ready.", gauge,
          SmsService(watch_) == SmsServiceState::Ready ? 1 : 0),
      Stages(watch_.tally),
  };
}
