#include "gateway/app/headless_gateway.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <syslog.h>

#include "gateway/app/gateway_adapters.h"
#include "gateway/broadcast/session_mgr.h"
#include "gateway/broadcast_server_settings.h"
#include "gateway/pipeline/heraldo_view_logic.h"
#include "gateway/program_directory.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/clock/clock.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "platform/signals/stop_signals.h"
#include "platform/ui/event_timers.h"
#include "platform/ui/headless_run.h"

namespace {

std::string RowLine(const char* what, const MessageRow& row) {
  return std::string(what) + ": " + codepage::GbkToUtf8(row.columns[COL_NUMBER]) + " " +
         codepage::GbkToUtf8(row.columns[COL_TIME]) + " " + codepage::GbkToUtf8(row.columns[COL_TEXT]) + " [" +
         codepage::GbkToUtf8(row.columns[COL_STATE]) + "]";
}

}  // namespace

int RunHeadlessGateway() {
  openlog("Heraldo", LOG_PID, LOG_DAEMON);
  stop_signals::Block();  // before the agent and the clocks start their threads

  std::string settingsPath = GatewaySettingsPath();
  std::string programDirectory = ProgramDirectory();
  if (settingsPath.empty()) {
    ReportLine("cannot find the program directory");
    return 1;
  }
  GatewaySettings settings;
  LoadGatewaySettings(settingsPath, settings);
  LoadBroadcastServerSettings();

  com::CoInitialize();
  broadcast_components::RegisterBroadcastComponents();

  std::unique_ptr<KestrumAgent> agent;
  try {
    agent = std::make_unique<KestrumAgent>(AGENT_MODE_POLL);
  } catch (const std::runtime_error& e) {
    ReportLine(e.what());
    return 1;
  }
  AgentMessages messages(*agent);
  ServerBroadcast broadcast;
  SpeechAudio audio;
  NoTextDialog noDialog;
  HeraldoViewLogic logic(settings, settingsPath, programDirectory,
                         PipelinePorts{&messages, &broadcast, &audio, &noDialog, &SystemClock()});
  auto& rows = logic.rows();
  rows.SetObserver({[&](size_t row) { ReportLine(RowLine("row added", rows[row])); }, nullptr,
                    [&](size_t row) { ReportLine(RowLine("row state", rows[row])); }});
  logic.Initialise();

  ModemStatus status(settings, settingsPath);
  std::string shownStatus;
  auto updateStatus = [&] {
    const std::string& text = status.Update(&messages);
    if (text != shownStatus) ReportLine("modem: " + codepage::GbkToUtf8(text));
    shownStatus = text;
  };

  // No menu to ask for the connection: it is requested at once.
  agent->Connect(settings.port, settings.rate, "127.0.0.1");
  updateStatus();
  ReportLine("Heraldo headless: program directory " + programDirectory + ", broadcast server " +
             BroadcastServerSettings::Instance().serverAddress + ":" +
             std::to_string(BroadcastServerSettings::Instance().cmdPort));

  EventTimers timers;
  timers.Add(std::chrono::milliseconds(1000), [&] {
    logic.ReceiveMessage();
    updateStatus();
  });
  timers.Add(std::chrono::milliseconds(1000), [&] { logic.SchedulePlayback(); });
  timers.Add(std::chrono::milliseconds(60000), [&] { logic.CheckCleanup(); });
  timers.Add(std::chrono::milliseconds(1000), [&] { SessionMgr::Instance().ProcessFinished(); });
  timers.Run(stop_signals::Arrived);

  ReportLine("Heraldo stopping");
  logic.LogAllRows();
  SessionMgr::Instance().RemoveAll();
  agent.reset();
  com::CoUninitialize();
  closelog();
  return 0;
}
