// The gateway without a window: the same settings, agent, timers and message
// handling, with every row and state change logged instead of shown.
#pragma once

#include <string>

// Runs until SIGTERM or SIGINT; returns the exit status. With a
// `metricsAddress` (HOST:PORT), serves metrics and a status page there.
int RunHeadlessGateway(const std::string& metricsAddress);
