// `Vigimon --export FILE.xls`: the terminal table of one start-up refresh,
// written without a window, a modem or any SMS.
#pragma once

#include <string>

#include "monitor/settings/monitor_settings.h"

// Loads the settings, refreshes once from the terminal information server
// and writes the table to `path` (UTF-8, as given on the command line). The
// result line goes to standard output. 0 when the file was written, 1 when
// the server did not answer or the file could not be written.
int RunExportCommand(const std::string& path, MonitorSettings& settings);
