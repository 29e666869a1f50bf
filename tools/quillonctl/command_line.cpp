#include "tools/quillonctl/command_line.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

CommandLine::CommandLine(const std::vector<std::string>& args, const std::set<std::string>& flags) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      std::string name = arg.substr(2);
      if (flags.count(name)) {
        values_[name] = "";
      } else {
        if (i + 1 >= args.size()) throw UsageError("option --" + name + " needs a value");
        values_[name] = args[++i];
      }
    } else {
      positional_.push_back(arg);
    }
  }
}

std::string CommandLine::Text(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) throw UsageError("missing option --" + name);
  return it->second;
}

std::string CommandLine::Text(const std::string& name, const std::string& fallback) const {
  return Has(name) ? Text(name) : fallback;
}

long CommandLine::Number(const std::string& name, long low, long high) const {
  return ParseNumber(Text(name), "--" + name, low, high);
}

long CommandLine::Number(const std::string& name, long low, long high, long fallback) const {
  return Has(name) ? Number(name, low, high) : fallback;
}

void CommandLine::AllowOnly(const std::set<std::string>& names) const {
  for (const auto& [name, value] : values_)
    if (!names.count(name)) throw UsageError("unknown option --" + name);
}

long ParseNumber(const std::string& text, const std::string& what, long low, long high) {
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < low || value > high)
    throw UsageError(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
  return value;
}

std::string NormalizeHex(const std::string& text) {
  std::string hex;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw UsageError("not hexadecimal: " + text);
    hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (hex.empty() || hex.size() % 2 != 0) throw UsageError("hex text must have an even, non-zero number of digits");
  return hex;
}
