// Whole-file reads and atomic replacement for the profile routines.
#pragma once

#include <optional>
#include <string>

namespace profile {

// The file's bytes; nullopt when it does not exist or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes content to a temporary file beside path, flushes it to disk and
// renames it over path. On failure the target is untouched, the temporary
// file is removed and false is returned. An existing file's permission bits
// are carried over; a new file gets 0644.
bool ReplaceFileAtomically(const std::string& path, const std::string& content);

}  // namespace profile
