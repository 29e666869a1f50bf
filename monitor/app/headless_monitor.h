// The monitor without a window: the same settings, agent, acquisition,
// alerts and report times, with the status texts and every queued SMS
// logged instead of shown.
#pragma once

#include <string>

#include "monitor/settings/monitor_settings.h"

// Runs until SIGTERM or SIGINT; returns the exit status. With a
// `metricsAddress` (HOST:PORT), serves metrics and a status page there.
int RunHeadlessMonitor(MonitorSettings& settings, const std::string& metricsAddress);
