// The requests to end a program: SIGTERM (the service manager's stop
// control) and SIGINT (an operator's Ctrl+C). Every program and simulator
// takes them the same way: blocked in all threads from the start, then
// collected when the program is ready for them, so that a stop never lands
// halfway through a step and is never lost.
#pragma once

namespace stop_signals {

// Blocks both signals in the calling thread, and so in every thread it
// starts afterwards, and ignores SIGPIPE: a peer that goes away is an error
// for the writer to handle, not a reason to end. Call it first in main,
// before any thread starts.
void Block();

// Waits until one of them arrives; returns its number.
int Wait();

// Takes a stop that has arrived since the last call, without waiting.
// True once per signal.
bool Arrived();

// A descriptor that becomes readable when one arrives, for poll loops;
// -1 when the system refuses one. Owned by the caller.
int Descriptor();

}  // namespace stop_signals
