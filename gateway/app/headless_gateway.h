// The gateway without a window: the same settings, agent, timers and message
// handling, with every row and state change logged instead of shown.
#pragma once

// Runs until SIGTERM or SIGINT; returns the exit status.
int RunHeadlessGateway();
