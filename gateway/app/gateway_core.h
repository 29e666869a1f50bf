// What both faces of the gateway, the window and --headless, set up the
// same way: the settings, the component model, the client agent in poll
// mode, the pipeline's ports filled with the real parts, and the view logic.
#pragma once

#include <memory>
#include <string>

#include "common/kestrum_agent.h"
#include "gateway/app/arrival_line.h"
#include "gateway/app/broadcast_tally.h"
#include "gateway/app/gateway_adapters.h"
#include "gateway/app/gateway_watch.h"
#include "gateway/broadcast/session_mgr.h"
#include "gateway/broadcast_server_settings.h"
#include "gateway/gateway_settings.h"
#include "gateway/journal/message_journal.h"
#include "gateway/pipeline/heraldo_view_logic.h"
#include "platform/ui/message_box.h"

enum class GatewayStartFailure { None, NoProgramDirectory, ComponentModel, Agent };

// The Parts' process-wide objects, taken once by the program's top
// (TakeGatewayProcess) and handed on from there, as LevelDB's top takes
// Env::Default().
struct GatewayProcess {
  BroadcastServerSettings& server;
  SessionMgr& sessions;
};
GatewayProcess TakeGatewayProcess();

class GatewayCore {
 public:
  // Loads the settings and prepares the component model, temp/ and the last
  // clean-up time, then creates the agent (not connected). `textDialog`
  // must outlive the core. On failure `failure` says which step failed and
  // nothing is returned.
  // `messages` tells the operator when a broadcast component cannot be
  // reached; it must outlive the core.
  static std::unique_ptr<GatewayCore> Start(const GatewayProcess& process, ui::MessageBoxPort& messages,
                                            TextBroadcastDialog& textDialog, GatewayStartFailure& failure);
  // Stops the sessions at the server, joins the agent's worker and leaves
  // the component model. Rows are not logged here: the caller does that
  // first, as the window closes.
  ~GatewayCore();
  GatewayCore(const GatewayCore&) = delete;
  GatewayCore& operator=(const GatewayCore&) = delete;

  BroadcastServerSettings& serverSettings;
  SessionMgr& sessions;
  GatewaySettings settings;
  std::string settingsPath;
  std::string serverSettingsPath;
  std::string programDirectory;
  // heraldo.db in the program directory; in memory when it cannot be written.
  std::unique_ptr<MessageJournal> journal;
  // The SMS the agent fetched and the pipeline's figures, for the metrics port.
  ArrivalLine arrivals;
  BroadcastTally tally;
  std::unique_ptr<KestrumAgent> agent;
  std::unique_ptr<AgentMessages> agentPort;
  std::unique_ptr<AgentReplies> replies;
  ServerBroadcast broadcast{sessions, serverSettings};
  SpeechAudio audio{settings};
  std::unique_ptr<HeraldoViewLogic> view;

  // What the metrics port may read from its own threads.
  GatewayWatch Watch() const { return {tally, arrivals, broadcast.contact(), *agentPort}; }

 private:
  explicit GatewayCore(const GatewayProcess& process) : serverSettings(process.server), sessions(process.sessions) {}
  // Opens the journal, saying in log.txt what became of a damaged one.
  void OpenJournal();
  // Journals each SMS the agent fetches before it is queued.
  void KeepFetched();

  bool comInitialised_ = false;
};

// The text of a start-up failure (UTF-8), as the program reports it.
std::string GatewayStartFailureText(GatewayStartFailure failure);
