// What every face of the monitor that polls the platform sets up the same
// way: the component model, the settings, the client agent in send mode
// (not connected), the acquisition and the alerts' ports over them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/kestrum_agent.h"
#include "common/modem_agent_control.h"
#include "monitor/acquisition/terminal_acquisition.h"
#include "monitor/app/monitor_adapters.h"
#include "monitor/settings/monitor_settings.h"

class MonitorCore {
 public:
  // `reportSms` hears every SMS handed to the agent (peer, GBK text,
  // accepted). On failure nothing is returned and `error` (UTF-8) says why.
  // `settings` (the process's, from main) is loaded here and must outlive
  // the core.
  static std::unique_ptr<MonitorCore> Start(MonitorSettings& settings,
                                            std::function<void(const std::string&, const std::string&, bool)> reportSms,
                                            std::string& error);
  // Joins the agent's worker, then leaves the component model.
  ~MonitorCore();
  MonitorCore(const MonitorCore&) = delete;
  MonitorCore& operator=(const MonitorCore&) = delete;

  MonitorSettings& settings;
  std::unique_ptr<KestrumAgent> agent;
  std::unique_ptr<KestrumAgentControl> agentControl;
  std::unique_ptr<ReportingSender> sender;
  std::unique_ptr<TerminalAcquisition> acquisition;
  std::unique_ptr<AcquisitionLookup> lookup;

 private:
  explicit MonitorCore(MonitorSettings& settings);
};
