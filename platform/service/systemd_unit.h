// Unit files for services installed by the host, written apart from any
// file I/O. A service's unit is "<lowered name>.service":
//
//   [Unit]
//   Description=<description, else the display name>
//   After=network.target
//
//   [Service]
//   Type=simple
//   ExecStart="<full path of the program>"
//   Restart=on-abnormal
//   RestartSec=5
//
//   [Install]
//   WantedBy=multi-user.target
//
// Type=simple: the service is up once the program runs; the program reports
// no readiness of its own. Restart=on-abnormal brings it back after a crash
// but not after it stopped itself with an exit code (such as 1 when port
// 8200 is taken), where restarting would only fail again. Starting at boot
// is the link in multi-user.target.wants that "systemctl enable" makes; the
// unit runs as root, as the service ran under the system account.
#pragma once

#include <optional>
#include <string>

#include "platform/service/service_manager.h"

namespace service {

inline constexpr const char* kBootTarget = "multi-user.target";

std::string UnitFileName(const std::string& serviceName);

// "ExecStart=" with the path in double quotes, its '\' and '"' escaped and
// '%' doubled as systemd's unit parser expects; nullopt for a path that is
// not absolute or holds a control character, which no unit line can carry.
std::optional<std::string> ExecStartLine(const std::string& programPath);

std::string RenderUnit(const std::string& execStartLine, const ServiceSettings& settings);

// The ExecStart line of a unit we wrote; nullopt when it has none.
std::optional<std::string> FindExecStartLine(const std::string& unitText);

}  // namespace service
