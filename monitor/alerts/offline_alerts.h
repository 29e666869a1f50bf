// Offline statistics turned into SMS: an alert when the offline count of the
// installation or of an area has risen by the configured share since the
// last judged count, and a report per area at the configured times.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "monitor/alerts/alert_inputs.h"
#include "monitor/settings/monitor_settings.h"
#include "platform/clock/clock.h"

// Hands one message (GBK) to the agent: "86" + phone, UCS2. False when
// there is no agent, the phone or the centre is longer than 14 characters,
// or the agent refuses it.
bool sendAlertSms(const MonitorSettings& settings, AlertSender* sender, const std::string& text,
                  const std::string& phone);

// What the alert check keeps between polls of one run for the options of
// [Alert]; a restart begins afresh (only the baselines are stored).
struct AreaAlertMemory {
  int risingPolls = 0;                                    // polls in a row that saw the rise
  std::optional<int32_t> alertedCount;                    // the count of its last alert, until it recovers
  std::optional<Clock::Monotonic::time_point> overSince;  // its alert, until escalated or back under
  int heldAlerts = 0;                                     // alerts held back in its quiet hours
  int32_t mostHeld = 0;                                   // the highest offline count among them
};
using AlertMemory = std::map<int32_t, AreaAlertMemory>;

// After a successful poll: judges the installation and every area with
// contacts, sends the alerts (and, when enabled, the recovery notices and
// escalations) and moves the baselines. `now` times the escalations,
// `localNow` (the time of day) the quiet hours.
void checkOfflineAlerts(MonitorSettings& settings, const TerminalLookup& terminals, AlertSender* sender,
                        AlertMemory& memory, Clock::Monotonic::time_point now, const TimeOfDay& localNow);

// At a report time. `reload` runs the terminal reload sequence and returns
// the system state it ends in; it is called only when `systemOk` is false.
void sendScheduledReport(MonitorSettings& settings, bool systemOk, const std::function<bool()>& reload,
                         const TerminalLookup& terminals, AlertSender* sender);

// The report text of one area: header, then offline names while the whole
// stays under 70 UTF-16 units, then "等" when names were left out. GBK.
std::string AreaReportText(const std::string& areaName, int online, int offline, int rate,
                           const std::vector<std::string>& offlineNames);
