// The status page of Vigimon's metrics port, for a person with a browser:
// the platform and the SMS service, the terminals online and offline, and
// every area with its offline count and whether it was alerted. In Chinese
// like the window; refreshes itself every 10 s; no script.
#pragma once

#include <ctime>
#include <string>

#include "monitor/app/monitor_tally.h"

enum class SmsLink { Idle, Connecting, Ready };

struct VigimonStatus {
  SmsLink sms = SmsLink::Idle;
  MonitorFigures figures;
};

std::string VigimonStatusPage(const VigimonStatus& status, std::time_t now);
