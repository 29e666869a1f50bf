// The directory of the running executable, where the gateway's INI files,
// log and sound files live.
#pragma once

#include <string>

// The directory, made the process's current directory so that relative file
// names resolve there; empty (nothing changed) when the executable's path
// cannot be had. $HERALDO_HOME replaces it, for tests and side-by-side
// installations.
std::string ProgramDirectory();
// ProgramDirectory() + "/" + name, or empty when the directory is unknown.
std::string ProgramFile(const std::string& name);
