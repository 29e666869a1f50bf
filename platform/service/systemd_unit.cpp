#include "platform/service/systemd_unit.h"

namespace service {
namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// A Description value: specifiers are '%' sequences, and a line cannot hold
// a line break.
std::string UnitValue(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '%') {
      out += "%%";
    } else {
      out += IsControl(c) ? ' ' : static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string UnitFileName(const std::string& serviceName) {
  std::string name;
  for (char c : serviceName) name += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return name + ".service";
}

std::optional<std::string> ExecStartLine(const std::string& programPath) {
  if (programPath.empty() || programPath.front() != '/') return std::nullopt;
  std::string line = "ExecStart=\"";
  for (unsigned char c : programPath) {
    if (IsControl(c)) return std::nullopt;
    if (c == '\\' || c == '"') line += '\\';
    if (c == '%') line += '%';
    line += static_cast<char>(c);
  }
  return line + '"';
}

std::string RenderUnit(const std::string& execStartLine, const ServiceSettings& settings) {
  const std::string& description = settings.description.empty() ? settings.displayName : settings.description;
  return "[Unit]\n"
         "Description=" +
         UnitValue(description) +
         "\n"
         "After=network.target\n"
         "\n"
         "[Service]\n"
         "Type=simple\n" +
         execStartLine +
         "\n"
         "Restart=on-abnormal\n"
         "RestartSec=5\n"
         "\n"
         "[Install]\n"
         "WantedBy=" +
         std::string(kBootTarget) + "\n";
}

std::optional<std::string> FindExecStartLine(const std::string& unitText) {
  size_t start = 0;
  while (start < unitText.size()) {
    size_t end = unitText.find('\n', start);
    if (end == std::string::npos) end = unitText.size();
    if (unitText.compare(start, 10, "ExecStart=") == 0) return unitText.substr(start, end - start);
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace service
