// What Vigimon's metrics port reads of the running monitor: the tally,
// under its own lock, and the agent's atomic flags; never the terminal
// table or a widget.
#pragma once

#include "common/modem_agent_control.h"
#include "monitor/app/monitor_tally.h"
#include "monitor/app/vigimon_status_page.h"

struct MonitorWatch {
  const MonitorTally& tally;
  const ModemAgentView& agent;
};

SmsLink SmsLinkOf(const ModemAgentView& agent);
VigimonStatus ReadStatus(const MonitorWatch& watch);
