// What the gateway's window does besides listing messages: the modem
// commands and the status they show, the settings commands with what
// follows their OK, and the rules of the list's context menu. No widget
// header: the window shows this class's state and forwards its menu
// commands and timer ticks here, so all of it is tested without a display.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gateway/broadcast_server_settings.h"
#include "gateway/dialogs/gateway_dialogs.h"
#include "gateway/heraldo_title.h"
#include "gateway/pipeline/heraldo_view_logic.h"
#include "gateway/pipeline/modem_status.h"
#include "platform/ui/message_box.h"

// The context menu of the list for one right click.
struct ContextMenuState {
  bool shown = false;
  bool replayEnabled = false;
};

// One of the gateway's timers: its period and what each tick does.
struct GatewayTimer {
  std::chrono::milliseconds period;
  std::function<void()> tick;
};

class HeraldoWindowLogic {
 public:
  // `agent` may be null (no agent could be made); `serverSettingsPath` is
  // SMServer.ini, where the broadcast server's address is kept, and
  // `server` the settings the broadcast client reads from it.
  HeraldoWindowLogic(GatewaySettings& settings, std::string settingsPath, std::string serverSettingsPath,
                     BroadcastServerSettings& server, HeraldoViewLogic& view, ModemAgentControl* agent,
                     GatewayDialogs& dialogs, ui::MessageBoxPort& messages);

  // Timer 1: one received message, then the modem status.
  void ReceiveTick();
  // The four timers both faces run, by their numbers: 1 the next received
  // SMS and the modem status (1 s), then `afterReceive` (which shows or logs
  // it); 2 the scheduler (1 s); 3 the clean-up check (60 s); 4
  // `sessionsTick`, the removal of finished sessions (1 s).
  std::vector<GatewayTimer> Timers(std::function<void()> afterReceive, std::function<void()> sessionsTick);
  // Sets and returns the status bar's first pane (GBK); the first time the
  // modem is seen ready, the confirmed port and rate are saved.
  const std::string& UpdateModemStatus();
  const std::string& StatusText() const { return status_.Text(); }

  // "连接" is enabled while no connection is requested, "断开" while one is.
  bool CanConnect() const;
  bool CanDisconnect() const;
  void Connect();
  void Disconnect();

  // "通讯设置", "号码设置" and "文件清理": each applies and saves what the
  // operator confirmed.
  void CommSettings();
  void AuthorisationSettings();
  void CleanupSettings();

  // A right click on `row`, or below the last row (nothing).
  ContextMenuState ContextMenuFor(std::optional<size_t> row) const;
  // "重复播放" of the first selected row.
  void Replay(size_t row);

 private:
  GatewaySettings& settings_;
  std::string settingsPath_;
  std::string serverSettingsPath_;
  BroadcastServerSettings& server_;
  HeraldoViewLogic& view_;
  ModemAgentControl* agent_;
  GatewayDialogs& dialogs_;
  ui::MessageBoxPort& messages_;
  ModemStatus status_;
};
