// quillonctl pdu encode | decode | listing
#pragma once

#include <string>
#include <vector>

int RunPduCommand(const std::vector<std::string>& args);
