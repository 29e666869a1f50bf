// Offline statistics turned into SMS: an alert when the offline count of the
// installation or of an area has risen by the configured share since the
// last judged count, and a report per area at the configured times.
#pragma once

#include <functional>
#include <string>

#include "monitor/alerts/alert_inputs.h"
#include "monitor/settings/monitor_settings.h"

// Hands one message (GBK) to the agent: "86" + phone, UCS2. False when
// there is no agent, the phone or the centre is longer than 14 characters,
// or the agent refuses it.
bool sendAlertSms(const MonitorSettings& settings, AlertSender* sender, const std::string& text,
                  const std::string& phone);

// After a successful poll: judges the installation and every area with
// contacts, sends the alerts and moves the baselines.
void checkOfflineAlerts(MonitorSettings& settings, const TerminalLookup& terminals, AlertSender* sender);

// At a report time. `reload` runs the terminal reload sequence and returns
// the system state it ends in; it is called only when `systemOk` is false.
void sendScheduledReport(MonitorSettings& settings, bool systemOk, const std::function<bool()>& reload,
                         const TerminalLookup& terminals, AlertSender* sender);

// The report text of one area: header, then offline names while the whole
// stays under 70 UTF-16 units, then "等" when names were left out. GBK.
std::string AreaReportText(const std::string& areaName, int online, int offline, int rate,
                           const std::vector<std::string>& offlineNames);
