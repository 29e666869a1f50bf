// quillonctl packet encode KIND ... | decode HEX
#pragma once

#include <string>
#include <vector>

int RunPacketCommand(const std::vector<std::string>& args);
