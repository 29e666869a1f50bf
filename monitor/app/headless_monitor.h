// The monitor without a window: the same settings, agent, acquisition,
// alerts and report times, with the status texts and every queued SMS
// logged instead of shown.
#pragma once

#include "monitor/settings/monitor_settings.h"

// Runs until SIGTERM or SIGINT; returns the exit status.
int RunHeadlessMonitor(MonitorSettings& settings);
