// quillonctl open | send | fetch | status: talking to a running SMS service.
#pragma once

#include <string>
#include <vector>

int RunOpenCommand(const std::vector<std::string>& args);
int RunSendCommand(const std::vector<std::string>& args);
int RunFetchCommand(const std::vector<std::string>& args);
// Prints the service's status; 0 when the modem is ready, 3 when it is not,
// 4 when --com names a port other than the one the service drives.
int RunStatusCommand(const std::vector<std::string>& args);
