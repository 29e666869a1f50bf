// The three texts of the monitor's status bar: the modem, the terminal
// information server, and the offline count. The first time the modem is
// seen ready, the port and rate the service confirmed go into the settings,
// which are saved.
#pragma once

#include <array>
#include <string>

#include "common/modem_agent_control.h"
#include "monitor/settings/monitor_settings.h"

class StatusTexts {
 public:
  // GBK texts; `agent` may be null.
  std::array<std::string, 3> Update(ModemAgentView* agent, bool systemOk, int32_t offlineCount,
                                    MonitorSettings& settings);
  // Whether the last update found the modem ready (the good status icon).
  bool modemConnected() const { return modemConnected_; }

 private:
  bool modemConnected_ = false;
};
