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

std::string Lowered(const std::string& text) {
  std::string out;
  for (char c : text) out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return out;
}

std::string Raised(const std::string& text) {
  std::string out;
  for (char c : text) out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return out;
}

// What "systemd-analyze security" asks for and the service can live with:
// it keeps its listening socket, the serial ports (by device class, as a
// USB modem comes and goes), the journal and its state directory; a system
// call outside the filter fails with EPERM rather than killing it. Left
// out: PrivateDevices and PrivateUsers, which would take away the serial
// ports or group dialout; PrivateNetwork and IPAddressAllow, which would
// defeat --listen.
constexpr const char* kSandbox =
    "UMask=0077\n"
    "DevicePolicy=closed\n"
    "DeviceAllow=char-ttyS rw\n"
    "DeviceAllow=char-ttyUSB rw\n"
    "DeviceAllow=char-ttyACM rw\n"
    "CapabilityBoundingSet=\n"
    "NoNewPrivileges=yes\n"
    "ProtectSystem=strict\n"
    "ProtectHome=yes\n"
    "PrivateTmp=yes\n"
    "PrivateIPC=yes\n"
    "ProtectHostname=yes\n"
    "ProtectClock=yes\n"
    "ProtectKernelTunables=yes\n"
    "ProtectKernelModules=yes\n"
    "ProtectKernelLogs=yes\n"
    "ProtectControlGroups=yes\n"
    "ProtectProc=invisible\n"
    "ProcSubset=pid\n"
    "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX\n"
    "RestrictNamespaces=yes\n"
    "RestrictRealtime=yes\n"
    "RestrictSUIDSGID=yes\n"
    "LockPersonality=yes\n"
    "MemoryDenyWriteExecute=yes\n"
    "RemoveIPC=yes\n"
    "SystemCallArchitectures=native\n"
    "SystemCallFilter=@system-service\n"
    "SystemCallFilter=~@privileged @resources\n"
    "SystemCallErrorNumber=EPERM\n";

}  // namespace

std::string UnitFileName(const std::string& serviceName) { return Lowered(serviceName) + ".service"; }

std::string OptionsFile(const std::string& serviceName) { return "/etc/default/" + Lowered(serviceName); }

std::optional<std::string> ExecStartLine(const std::string& serviceName, const std::string& programPath) {
  if (programPath.empty() || programPath.front() != '/') return std::nullopt;
  std::string line = "ExecStart=\"";
  for (unsigned char c : programPath) {
    if (IsControl(c)) return std::nullopt;
    if (c == '\\' || c == '"') line += '\\';
    if (c == '%') line += '%';
    line += static_cast<char>(c);
  }
  return line + "\" $" + Raised(serviceName) + "_OPTS";
}

std::string RenderUnit(const std::string& serviceName, const std::string& execStartLine,
                       const ServiceSettings& settings) {
  const std::string& description = settings.description.empty() ? settings.displayName : settings.description;
  const std::string account = Lowered(serviceName);
  std::string unit = "[Unit]\n";
  unit += "Description=" + UnitValue(description) + "\n";
  unit += "Documentation=man:" + serviceName + "(8)\n";
  unit += "After=network.target\n\n";
  unit += "[Service]\nType=notify\nNotifyAccess=main\nWatchdogSec=30\n";
  unit += "EnvironmentFile=-" + OptionsFile(serviceName) + "\n";
  unit += execStartLine + "\n";
  unit += "Restart=on-abnormal\nRestartSec=5\n";
  unit += "User=" + account + "\nGroup=" + account + "\nDynamicUser=yes\nSupplementaryGroups=dialout\n";
  unit += "StateDirectory=" + account + "\n";
  unit += kSandbox;
  unit += "\n[Install]\nWantedBy=" + std::string(kBootTarget) + "\n";
  return unit;
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
