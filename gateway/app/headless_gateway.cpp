#include "gateway/app/headless_gateway.h"

#include <cstdio>
#include <memory>
#include <syslog.h>

#include "gateway/app/gateway_core.h"
#include "gateway/app/gateway_metrics.h"
#include "gateway/broadcast/diag_log.h"
#include "gateway/broadcast/session_mgr.h"
#include "gateway/broadcast_server_settings.h"
#include "gateway/dialogs/gateway_dialogs.h"
#include "gateway/pipeline/heraldo_view_logic.h"
#include "gateway/pipeline/heraldo_window_logic.h"
#include "platform/codepage/codepage.h"
#include "platform/signals/stop_signals.h"
#include "platform/ui/event_timers.h"
#include "platform/ui/headless_run.h"
#include "platform/ui/message_box.h"

namespace {

std::string RowLine(const char* what, const MessageRow& row) {
  return std::string(what) + ": " + codepage::GbkToUtf8(row.columns[COL_NUMBER]) + " " +
         codepage::GbkToUtf8(row.columns[COL_TIME]) + " " + codepage::GbkToUtf8(row.columns[COL_TEXT]) + " [" +
         codepage::GbkToUtf8(row.columns[COL_STATE]) + "]";
}

}  // namespace

int RunHeadlessGateway(const std::string& metricsAddress) {
  openlog("Heraldo", LOG_PID, LOG_DAEMON);
  stop_signals::Block();  // before the agent and the clocks start their threads

  NoTextDialog noDialog;
  GatewayStartFailure failure;
  // No window to show boxes in: they go to standard error.
  ui::StderrMessageBox messages;
  std::unique_ptr<GatewayCore> core = GatewayCore::Start(TakeGatewayProcess(), messages, noDialog, failure);
  if (!core) {
    ReportLine(GatewayStartFailureText(failure));
    return 1;
  }
  // The broadcast client's failure lines say why a row failed; with no
  // window to look at, they are the only place the operator learns it.
  RegisterLogger(BROADCAST_LOG_CATEGORY, LogLevel::Error);
  AddLogSink(BROADCAST_LOG_CATEGORY,
             [](const char*, const std::string& line) { ReportLine("broadcast: " + codepage::GbkToUtf8(line)); });
  HeraldoViewLogic& view = *core->view;
  auto& rows = view.rows();
  rows.SetObserver({[&](size_t row) { ReportLine(RowLine("row added", rows[row])); }, nullptr,
                    [&](size_t row) { ReportLine(RowLine("row state", rows[row])); }});

  // The window's own logic and timers, with no dialog ever confirmed.
  NoGatewayDialogs noDialogs;
  HeraldoWindowLogic logic(core->settings, core->settingsPath, core->serverSettingsPath, core->serverSettings, view,
                           core->agentPort.get(), noDialogs, messages);
  std::string shownStatus;
  auto logStatus = [&] {
    const std::string& text = logic.StatusText();
    if (text != shownStatus) ReportLine("modem: " + codepage::GbkToUtf8(text));
    shownStatus = text;
  };

  // No menu to ask for the connection: it is requested at once.
  logic.Connect();
  logStatus();
  ReportLine("Heraldo headless: program directory " + core->programDirectory + ", broadcast server " +
             core->serverSettings.serverAddress + ":" + std::to_string(core->serverSettings.cmdPort));
  if (!core->view->StartNotice().empty()) ReportLine(codepage::GbkToUtf8(core->view->StartNotice()));

  std::unique_ptr<metrics::Endpoint> metricsEndpoint = ServeGatewayMetrics(*core, metricsAddress, ReportLine);

  EventTimers timers;
  for (GatewayTimer& timer : logic.Timers(logStatus, [&] { core->sessions.ProcessFinished(); }))
    timers.Add(timer.period, std::move(timer.tick));
  timers.Run(stop_signals::Arrived);

  ReportLine("Heraldo stopping");
  view.LogAllRows();
  metricsEndpoint.reset();  // no scrape reads the core past here
  core.reset();             // sessions removed, agent joined
  RemoveLogger(BROADCAST_LOG_CATEGORY);
  closelog();
  return 0;
}
