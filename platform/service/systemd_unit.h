// Unit files for services installed by the host, written apart from any
// file I/O. A service's unit is "<name>.service", <name> the service name in
// lower case, and <NAME> in upper case:
//
//   [Unit]
//   Description=<description, else the display name>
//   Documentation=man:<service name>(8)
//   After=network.target
//
//   [Service]
//   Type=notify
//   NotifyAccess=main
//   WatchdogSec=30
//   EnvironmentFile=-/etc/default/<name>
//   ExecStart="<full path of the program>" $<NAME>_OPTS
//   Restart=on-abnormal
//   RestartSec=5
//   User=<name>
//   Group=<name>
//   DynamicUser=yes
//   SupplementaryGroups=dialout
//   StateDirectory=<name>
//   <the sandbox: devices, file system, kernel, system calls>
//
//   [Install]
//   WantedBy=multi-user.target
//
// Type=notify: the service is up once the program says it is ready (its
// request server listens); WatchdogSec=30: the program's working loops
// report every 15 s, and one that stalls gets the service restarted.
// Restart=on-abnormal brings it back after a crash or a stall but not after
// it stopped itself with an exit code (such as 1 when port 8200 is taken),
// where restarting would only fail again. Starting at boot
// is the link in multi-user.target.wants that "systemctl enable" makes.
//
// The service never runs as root. It runs as the system user <name> that
// the Debian package makes, in group dialout for the serial ports; where
// that user does not exist (a build from source), DynamicUser makes one for
// each run. Its only writable place is /var/lib/<name> ($STATE_DIRECTORY).
// /etc/default/<name> is where an administrator adds options ("--listen",
// "--keep-stored") in <NAME>_OPTS; the unit itself stays as written, so that
// the Debian package's unit and the one "-Service" writes are the same.
#pragma once

#include <optional>
#include <string>

#include "platform/service/service_manager.h"

namespace service {

inline constexpr const char* kBootTarget = "multi-user.target";

std::string UnitFileName(const std::string& serviceName);

// "/etc/default/<name>", read for <NAME>_OPTS when present.
std::string OptionsFile(const std::string& serviceName);

// "ExecStart=" with the path in double quotes, its '\' and '"' escaped and
// '%' doubled as systemd's unit parser expects, then $<NAME>_OPTS; nullopt
// for a path that is not absolute or holds a control character, which no
// unit line can carry.
std::optional<std::string> ExecStartLine(const std::string& serviceName, const std::string& programPath);

std::string RenderUnit(const std::string& serviceName, const std::string& execStartLine,
                       const ServiceSettings& settings);

// The ExecStart line of a unit we wrote; nullopt when it has none.
std::optional<std::string> FindExecStartLine(const std::string& unitText);

}  // namespace service
