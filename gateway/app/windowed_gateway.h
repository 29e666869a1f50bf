// The gateway as operators run it: the window "短信接入网关".
#pragma once

// Runs until the window closes; returns the exit status.
int RunWindowedGateway(int argc, char** argv);
