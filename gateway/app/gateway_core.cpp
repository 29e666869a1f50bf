#include "gateway/app/gateway_core.h"

#include <stdexcept>

#include "gateway/broadcast/session_mgr.h"
#include "gateway/broadcast_server_settings.h"
#include "gateway/program_directory.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/clock/clock.h"
#include "platform/com/apartment.h"

GatewayProcess TakeGatewayProcess() { return {BroadcastServerSettings::Instance(), SessionMgr::Instance()}; }

std::unique_ptr<GatewayCore> GatewayCore::Start(const GatewayProcess& process, ui::MessageBoxPort& messages,
                                                TextBroadcastDialog& textDialog, GatewayStartFailure& failure) {
  std::unique_ptr<GatewayCore> core(new GatewayCore(process));
  core->settingsPath = GatewaySettingsPath();
  core->serverSettingsPath = BroadcastServerSettingsPath();
  core->programDirectory = ProgramDirectory();
  if (core->settingsPath.empty()) {
    failure = GatewayStartFailure::NoProgramDirectory;
    return nullptr;
  }
  LoadGatewaySettings(core->settingsPath, core->settings);
  LoadBroadcastServerSettings(core->serverSettingsPath, core->serverSettings);
  core->sessions.UseEnvironment({core->serverSettings, messages});

  if (com::FAILED(com::CoInitialize())) {
    failure = GatewayStartFailure::ComponentModel;
    return nullptr;
  }
  core->comInitialised_ = true;
  broadcast_components::RegisterBroadcastComponents();

  try {
    core->agent = std::make_unique<KestrumAgent>(AGENT_MODE_POLL);
  } catch (const std::runtime_error&) {
    failure = GatewayStartFailure::Agent;
    return nullptr;
  }
  core->agentPort = std::make_unique<AgentMessages>(*core->agent);
  core->view = std::make_unique<HeraldoViewLogic>(
      core->settings, core->settingsPath, core->programDirectory,
      PipelinePorts{core->agentPort.get(), &core->broadcast, &core->audio, &textDialog, &SystemClock()});
  core->view->Initialise();
  failure = GatewayStartFailure::None;
  return core;
}

GatewayCore::~GatewayCore() {
  if (view) sessions.RemoveAll();
  view.reset();
  agentPort.reset();
  agent.reset();  // joins the worker
  if (comInitialised_) com::CoUninitialize();
}

std::string GatewayStartFailureText(GatewayStartFailure failure) {
  switch (failure) {
    case GatewayStartFailure::None: return {};
    case GatewayStartFailure::NoProgramDirectory: return "cannot find the program directory";
    case GatewayStartFailure::ComponentModel: return "OLE 初始化失败。请确保 OLE 库是正确的版本。";
    case GatewayStartFailure::Agent: return AGENT_CREATE_ERROR;
  }
  return {};
}
