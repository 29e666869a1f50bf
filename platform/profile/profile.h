// The private-profile routines the programs use for their settings files,
// with the semantics of the system routines of the same names.
//
// Every call reads the file afresh, so a change made by another process is
// seen by the next call. Values are bytes: GBK text is returned and written
// exactly as given, never transcoded. A missing or unreadable file reads like
// an empty one.
//
// Thread-safety: all functions may be called from any thread. Writes are
// serialised within the process so that two threads updating one file do not
// lose each other's changes; writes from other processes are not locked out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace profile {

// The value of section/key read as a decimal integer: an optional sign, then
// leading digits ("12abc" gives 12, "-5" gives -5, "abc" gives 0, and too
// many digits wrap modulo 2^32). defaultValue comes back when the file,
// section or key is missing, and also when the value is empty, as the system
// routine does.
//
// The result is unsigned like the system's UINT; assign it to an int to get
// negative values back (C++20 converts modulo 2^32).
unsigned GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                              const std::string& path);

// The value of section/key: trimmed of blanks, one pair of matching quotes
// (' or ") around it dropped, then cut to bufferSize - 1 bytes, as the system
// routine fills a buffer of that size. When the file, section or key is
// missing, defaultValue with trailing spaces removed, cut the same way.
std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    std::size_t bufferSize, const std::string& path);

// The same, in the shape of the system call: fills out and returns the number
// of bytes placed in it.
std::size_t GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    std::string& out, std::size_t bufferSize, const std::string& path);

// Whether the file has section/key at all, even with an empty value.
bool HasPrivateProfileKey(const std::string& section, const std::string& key, const std::string& path);

// Names of all sections in file order (trimmed, duplicates kept).
std::vector<std::string> GetPrivateProfileSectionNames(const std::string& path);

// Writes value under section/key, creating the file, section or key as needed.
// A nullopt value deletes the key; a nullopt key deletes every section of that
// name with all its lines (value is then ignored). Names are trimmed; the key
// keeps the spelling it already has in the file. Lines this call writes end in
// CRLF; all other lines, comments included, are kept byte for byte.
//
// The new text goes to a temporary file in the same directory, which is then
// renamed over the target, so readers see either the old or the new file.
// Returns false when a name or value holds a line break (it would corrupt the
// file) or when the file cannot be written. Deleting what is not there
// succeeds without touching the file.
bool WritePrivateProfileString(const std::string& section, const std::optional<std::string>& key,
                               const std::optional<std::string>& value, const std::string& path);

}  // namespace profile
