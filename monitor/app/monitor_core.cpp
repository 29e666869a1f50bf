#include "monitor/app/monitor_core.h"

#include <stdexcept>

#include "platform/broadcast/broadcast_components.h"
#include "platform/clock/clock.h"
#include "platform/com/apartment.h"

MonitorCore::MonitorCore(MonitorSettings& monitorSettings) : settings(monitorSettings) {
  com::CoInitialize();
  broadcast_components::RegisterBroadcastComponents();
}

std::unique_ptr<MonitorCore> MonitorCore::Start(
    MonitorSettings& settings, std::function<void(const std::string&, const std::string&, bool)> reportSms,
    std::string& error) {
  std::unique_ptr<MonitorCore> core(new MonitorCore(settings));
  loadSettings(core->settings);
  try {
    core->agent = std::make_unique<KestrumAgent>(AGENT_MODE_SEND);
  } catch (const std::runtime_error& e) {
    error = e.what();
    return nullptr;
  }
  core->agentControl = std::make_unique<KestrumAgentControl>(*core->agent);
  core->sender = std::make_unique<ReportingSender>(*core->agent, std::move(reportSms));
  core->acquisition = std::make_unique<TerminalAcquisition>(core->settings, SystemClock());
  core->lookup = std::make_unique<AcquisitionLookup>(*core->acquisition);
  return core;
}

MonitorCore::~MonitorCore() {
  lookup.reset();
  acquisition.reset();
  sender.reset();
  agentControl.reset();
  agent.reset();
  com::CoUninitialize();
}
