// The gateway as operators run it: the window "短信接入网关".
#pragma once

// True when a display (X11, Wayland, or a Qt platform chosen outright) is
// there to show a window on.
bool DisplayAvailable();

// Runs until the window closes; returns the exit status.
int RunWindowedGateway(int argc, char** argv);
