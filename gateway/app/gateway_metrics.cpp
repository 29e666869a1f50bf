#include "gateway/app/gateway_metrics.h"

#include <ctime>

#include "gateway/app/gateway_watch.h"
#include "gateway/app/heraldo_metrics.h"
#include "gateway/app/heraldo_status_page.h"

std::unique_ptr<metrics::Endpoint> ServeGatewayMetrics(const GatewayCore& core, const std::string& address,
                                                       const std::function<void(const std::string&)>& say) {
  if (address.empty()) return nullptr;
  std::string error;
  std::unique_ptr<metrics::Endpoint> endpoint = metrics::Endpoint::Start(address, error);
  if (!endpoint) {
    say("metrics not served: " + error);
    return nullptr;
  }
  GatewayWatch watch = core.Watch();
  endpoint->Add(std::make_shared<HeraldoMetrics>(watch));
  endpoint->ServePage([watch] { return HeraldoStatusPage(ReadStatus(watch), std::time(nullptr)); });
  say("metrics on http://" + address + "/metrics, status page on http://" + address + "/");
  return endpoint;
}
