// Whether a windowed program has somewhere to show its windows.
#pragma once

// True when a display (X11, Wayland, or a Qt platform chosen outright) is
// there to show a window on.
bool DisplayAvailable();
