// Vigimon's metrics port: /metrics for a Prometheus, / the status page.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "monitor/app/monitor_core.h"
#include "platform/metrics/metrics_endpoint.h"

// Serves on `address` (HOST:PORT) while the endpoint lives; it must go
// before the core. Nothing when `address` is empty, or, with the reason
// told to `say` (UTF-8), when it cannot listen: the monitor runs on without.
std::unique_ptr<metrics::Endpoint> ServeMonitorMetrics(const MonitorCore& core, const std::string& address,
                                                       const std::function<void(const std::string&)>& say);
