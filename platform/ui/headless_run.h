// What a program without a window needs besides its timers: a stop flag set
// by SIGTERM or SIGINT, and one way to tell what it would have shown.
#pragma once

#include <atomic>
#include <string>

// Installs the handlers (once) and returns the flag they set.
const std::atomic<bool>& StopOnTerminationSignals();
// One UTF-8 line to standard output (flushed) and to syslog, under the ident
// given to openlog by the caller.
void ReportLine(const std::string& utf8);
