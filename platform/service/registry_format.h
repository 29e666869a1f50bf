// The registry store file, parsed and written apart from any file I/O.
//
// Text, LF line ends, bytes kept as they are. Blank lines and lines starting
// with '#' or ';' are ignored. A key is a line "[path]" (everything between
// the first '[' and the last ']'); the values below it, up to the next key,
// are lines
//   @="data"            the default value
//   "name"="data"       a named value
// Inside quotes '\' is written "\\", '"' is written "\"" and every byte
// below 0x20 or 0x7F is written "\xHH". Every key is listed, parents too, so
// empty keys survive. Example:
//
//   [AppID]
//
//   [AppID\{9EE9FAFB-2B7D-427E-BB36-77A7D003D3FF}]
//   @="Quillon"
//   "LocalService"="Quillon"
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace service {

struct RegistryKeyData {
  std::string path;                                         // as created
  std::vector<std::pair<std::string, std::string>> values;  // name, data; in the order set
};

// Keyed by the folded path (ASCII lower case), so lookups ignore case and
// serialising lists keys in a stable order.
using RegistryTree = std::map<std::string, RegistryKeyData>;

// The path with ASCII letters lowered; nullopt for a path that is empty, has
// an empty component or holds a control character.
std::optional<std::string> FoldKeyPath(const std::string& path);
// Adds the key (`folded` being FoldKeyPath(path)) and any missing parents.
RegistryKeyData& AddRegistryKey(RegistryTree& tree, const std::string& path, const std::string& folded);
bool SameName(const std::string& a, const std::string& b);

// nullopt when a line is neither a key, a value under a key, nor ignorable.
std::optional<RegistryTree> ParseRegistry(const std::string& text);
std::string SerializeRegistry(const RegistryTree& tree);

}  // namespace service
