// The requests to end the program: SIGTERM, the service manager's stop
// control, and SIGINT, an operator's Ctrl+C in program mode.
#pragma once

// Blocks both signals in the calling thread and so in every thread it
// starts afterwards; call it before the first thread starts, so that the
// signals wait for WaitForStopSignal instead of ending the process.
void BlockStopSignals();

// Waits until one of them arrives; returns its number.
int WaitForStopSignal();
