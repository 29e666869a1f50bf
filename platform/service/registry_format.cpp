#include "platform/service/registry_format.h"

#include <cstdio>

namespace service {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (IsControl(c)) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

// Reads a quoted string starting at line[pos]; returns the index after the
// closing quote, or npos when the string is malformed.
size_t ReadQuoted(const std::string& line, size_t pos, std::string* text) {
  if (pos >= line.size() || line[pos] != '"') return std::string::npos;
  text->clear();
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') return pos + 1;
    if (c != '\\') {
      *text += c;
      continue;
    }
    if (++pos >= line.size()) return std::string::npos;
    if (line[pos] == '\\' || line[pos] == '"') {
      *text += line[pos];
    } else if (line[pos] == 'x' && pos + 2 < line.size() && HexDigit(line[pos + 1]) >= 0 &&
               HexDigit(line[pos + 2]) >= 0) {
      *text += static_cast<char>(HexDigit(line[pos + 1]) * 16 + HexDigit(line[pos + 2]));
      pos += 2;
    } else {
      return std::string::npos;
    }
  }
  return std::string::npos;
}

}  // namespace

std::optional<std::string> FoldKeyPath(const std::string& path) {
  if (path.empty() || path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string::npos) {
    return std::nullopt;
  }
  std::string folded;
  folded.reserve(path.size());
  for (unsigned char c : path) {
    if (IsControl(c)) return std::nullopt;
    folded += Lower(static_cast<char>(c));
  }
  return folded;
}

RegistryKeyData& AddRegistryKey(RegistryTree& tree, const std::string& path, const std::string& folded) {
  for (size_t cut = folded.find('\\'); cut != std::string::npos; cut = folded.find('\\', cut + 1)) {
    auto& parent = tree[folded.substr(0, cut)];
    if (parent.path.empty()) parent.path = path.substr(0, cut);
  }
  auto& key = tree[folded];
  if (key.path.empty()) key.path = path;
  return key;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::optional<RegistryTree> ParseRegistry(const std::string& text) {
  RegistryTree tree;
  RegistryKeyData* current = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a file edited on another system
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;

    if (line[0] == '[') {
      if (line.size() < 3 || line.back() != ']') return std::nullopt;
      const std::string path = line.substr(1, line.size() - 2);
      const auto folded = FoldKeyPath(path);
      if (!folded) return std::nullopt;
      current = &AddRegistryKey(tree, path, *folded);
      continue;
    }
    if (!current) return std::nullopt;
    std::string name, data;
    size_t pos = line[0] == '@' ? 1 : ReadQuoted(line, 0, &name);
    if (pos == std::string::npos || pos >= line.size() || line[pos] != '=') return std::nullopt;
    pos = ReadQuoted(line, pos + 1, &data);
    if (pos != line.size()) return std::nullopt;
    bool replaced = false;
    for (auto& [existing, value] : current->values) {
      if (SameName(existing, name)) {
        value = data;
        replaced = true;
      }
    }
    if (!replaced) current->values.emplace_back(name, data);
  }
  return tree;
}

std::string SerializeRegistry(const RegistryTree& tree) {
  std::string out = "# Quillon registry store: keys in [brackets], values as \"name\"=\"data\", @ = default\n";
  for (const auto& [folded, key] : tree) {
    out += "\n[" + key.path + "]\n";
    for (const auto& [name, data] : key.values) {
      if (name.empty()) {
        out += '@';
      } else {
        AppendQuoted(out, name);
      }
      out += '=';
      AppendQuoted(out, data);
      out += '\n';
    }
  }
  return out;
}

}  // namespace service
