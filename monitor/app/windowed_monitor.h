// The monitor as operators run it: an icon in the notification area and the
// window "终端故障监控" behind it.
#pragma once

#include <string>

#include "monitor/settings/monitor_settings.h"

// Runs until the window closes; returns the exit status. With a
// `metricsAddress` (HOST:PORT), serves metrics and a status page there.
int RunWindowedMonitor(int argc, char** argv, MonitorSettings& settings, const std::string& metricsAddress);
