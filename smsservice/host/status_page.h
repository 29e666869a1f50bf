// The status page of Quillon's metrics port, for a person with a browser:
// the modem, its network and queues, and the last messages in and out with
// their numbers masked. Refreshes itself every 10 s; no script.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "platform/metrics/html_text.h"
#include "smsservice/modem/gsm_modem.h"

std::string QuillonStatusPage(const ModemReport& report, const std::vector<SmsTrace>& recent, std::time_t now);
