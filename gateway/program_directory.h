// The directory of the running executable, where the gateway's INI files,
// log and sound files live.
#pragma once

#include <string>

// The directory as an absolute path, made the process's current directory so
// that relative file names resolve there; empty (nothing changed) when the
// executable's path cannot be had. $HERALDO_HOME replaces it, for tests and
// side-by-side installations; a relative one is read from the directory the
// program started in, however often the directory is built.
std::string ProgramDirectory();
// ProgramDirectory() + "/" + name, or empty when the directory is unknown.
std::string ProgramFile(const std::string& name);
