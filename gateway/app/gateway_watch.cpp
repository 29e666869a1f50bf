#include "gateway/app/gateway_watch.h"

size_t QueueLength(const GatewayWatch& watch) { return watch.tally.WaitingCount() + watch.arrivals.Waiting(); }

SmsServiceState SmsService(const GatewayWatch& watch) {
  if (!watch.agent.ConnectRequested()) return SmsServiceState::Idle;
  return watch.agent.ModemReady() ? SmsServiceState::Ready : SmsServiceState::Connecting;
}

HeraldoStatus ReadStatus(const GatewayWatch& watch) {
  HeraldoStatus status;
  status.smsService = SmsService(watch);
  status.server = watch.server.state();
  status.serverLearnt = watch.server.when();
  status.queueLength = QueueLength(watch);
  status.received = watch.arrivals.Total();
  status.results = watch.tally.Results();
  status.recent = watch.tally.Recent();
  return status;
}
