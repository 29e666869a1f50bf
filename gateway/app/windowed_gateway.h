// The gateway as operators run it: the window "短信接入网关".
#pragma once

#include <string>

// Runs until the window closes; returns the exit status. With a
// `metricsAddress` (HOST:PORT), serves metrics and a status page there.
int RunWindowedGateway(int argc, char** argv, const std::string& metricsAddress);
