// quillonctl open | send | fetch: talking to a running SMS service.
#pragma once

#include <string>
#include <vector>

int RunOpenCommand(const std::vector<std::string>& args);
int RunSendCommand(const std::vector<std::string>& args);
int RunFetchCommand(const std::vector<std::string>& args);
