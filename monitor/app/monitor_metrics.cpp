#include "monitor/app/monitor_metrics.h"

#include <ctime>

#include "monitor/app/monitor_watch.h"
#include "monitor/app/vigimon_metrics.h"
#include "monitor/app/vigimon_status_page.h"

std::unique_ptr<metrics::Endpoint> ServeMonitorMetrics(const MonitorCore& core, const std::string& address,
                                                       const std::function<void(const std::string&)>& say) {
  if (address.empty()) return nullptr;
  std::string error;
  std::unique_ptr<metrics::Endpoint> endpoint = metrics::Endpoint::Start(address, error);
  if (!endpoint) {
    say("metrics not served: " + error);
    return nullptr;
  }
  MonitorWatch watch = core.Watch();
  endpoint->Add(std::make_shared<VigimonMetrics>(watch));
  endpoint->ServePage([watch] { return VigimonStatusPage(ReadStatus(watch), std::time(nullptr)); });
  say("metrics on http://" + address + "/metrics, status page on http://" + address + "/");
  return endpoint;
}
