#include "gateway/app/gateway_core.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "gateway/broadcast/session_mgr.h"
#include "gateway/broadcast_server_settings.h"
#include "gateway/journal/sqlite_message_journal.h"
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
    // Sending only when senders are answered: otherwise the agent polls as it always did.
    bool answers = core->settings.replyConfirm || core->settings.replyRefused;
    core->agent = std::make_unique<KestrumAgent>(
        static_cast<uint8_t>(answers ? AGENT_MODE_POLL | AGENT_MODE_SEND : AGENT_MODE_POLL));
  } catch (const std::runtime_error&) {
    failure = GatewayStartFailure::Agent;
    return nullptr;
  }
  core->agentPort = std::make_unique<AgentMessages>(*core->agent, core->arrivals);
  core->view = std::make_unique<HeraldoViewLogic>(
      core->settings, core->settingsPath, core->programDirectory,
      PipelinePorts{core->agentPort.get(), &core->broadcast, &core->audio, &textDialog, &SystemClock()});
  core->OpenJournal();
  core->view->UseObserver(core->tally);
  core->replies = std::make_unique<AgentReplies>(*core->agent, core->settings);
  core->view->UseReplies(*core->replies);
  core->KeepFetched();
  core->view->Initialise();
  failure = GatewayStartFailure::None;
  return core;
}

void GatewayCore::OpenJournal() {
  const std::string path = programDirectory + "/" + SqliteMessageJournal::kFileName;
  try {
    journal::OpenReport report;
    journal = std::make_unique<SqliteMessageJournal>(path, SystemClock(), &report);
    if (!report.movedTo.empty())
      view->AppendLog(path + " could not be read (" + report.damage + "); moved aside to " + report.movedTo +
                      ", a new journal started");
  } catch (const journal::JournalError& error) {
    // The loudspeakers matter more than the history: the program runs on, and says what it lacks.
    journal = std::make_unique<SqliteMessageJournal>(journal::kInMemory, SystemClock());
    view->AppendLog(path + " cannot be written (" + error.what() +
                    "); messages are kept in memory only and a restart loses those not yet played");
    std::fprintf(stderr, "Heraldo: %s cannot be written: %s\n", path.c_str(), error.what());
  }
  view->UseJournal(*journal);
}

void GatewayCore::KeepFetched() {
  agent->SetReceiveKeeper([this](SmsRecord& record) {
    std::string peer(record.peer, strnlen(record.peer, 15));
    std::string stamp(record.stamp, strnlen(record.stamp, sizeof record.stamp));
    std::string text(record.text, strnlen(record.text, sizeof record.text));
    try {
      std::optional<int64_t> id = journal->Add(ArrivingSms(peer, stamp, text, SystemClock().WallNow()));
      if (!id) return false;  // handed out again by a service that stopped: it is here already
      record.keptAs = *id;
    } catch (const journal::JournalError& error) {
      std::fprintf(stderr, "Heraldo: heraldo.db cannot be written: %s\n", error.what());
    }
    arrivals.Came(SystemClock().MonotonicNow());
    return true;
  });
}

GatewayCore::~GatewayCore() {
  if (view) sessions.RemoveAll();
  view.reset();
  agentPort.reset();
  replies.reset();
  agent.reset();  // joins the worker, which journals what it fetches
  journal.reset();
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
