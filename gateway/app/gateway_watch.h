// What Heraldo's metrics port reads of the running gateway: parts that are
// each safe to read from the port's threads (their own locks, the agent's
// atomic flags), never the pipeline's rows or a widget.
#pragma once

#include <cstddef>

#include "common/modem_agent_control.h"
#include "gateway/app/arrival_line.h"
#include "gateway/app/broadcast_tally.h"
#include "gateway/app/heraldo_status_page.h"
#include "gateway/app/server_contact.h"

struct GatewayWatch {
  const BroadcastTally& tally;
  const ArrivalLine& arrivals;
  const ServerContact& server;
  const ModemAgentView& agent;
};

// The rows waiting to be played and the SMS fetched but not yet taken into
// the list: everything that waits to be broadcast.
size_t QueueLength(const GatewayWatch& watch);
SmsServiceState SmsService(const GatewayWatch& watch);
HeraldoStatus ReadStatus(const GatewayWatch& watch);
