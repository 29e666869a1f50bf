// How a program without a window tells what it would have shown.
#pragma once

#include <string>

// One UTF-8 line to standard output (flushed) and to syslog, under the ident
// given to openlog by the caller.
void ReportLine(const std::string& utf8);
