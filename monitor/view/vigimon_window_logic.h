// What the monitor's window does besides drawing the list: the poll and the
// refresh button, the two filters, the modem commands, the status bar and
// the tray icon's choice, and what follows the two settings dialogs. No
// widget header: the window shows this class's state and forwards its
// timers, buttons and menu commands here.
#pragma once

#include <array>
#include <string>

#include "common/modem_agent_control.h"
#include "monitor/acquisition/terminal_acquisition.h"
#include "monitor/alerts/alert_inputs.h"
#include "monitor/alerts/report_clock.h"
#include "monitor/view/status_texts.h"
#include "monitor/view/terminal_list_view.h"
#include "platform/ui/message_box.h"

// The status bar's three texts (GBK) and the icons of its first two parts,
// and which tray icon shows.
struct MonitorStatus {
  std::array<std::string, 3> texts;
  bool modemGood = false;
  bool systemGood = false;
  bool trayGood = false;  // everything fine: the normal icon
};

class VigimonWindowLogic {
 public:
  // All must outlive this object; `agent` may be null (none could be made).
  // `messages` tells the operator of a failed refresh.
  VigimonWindowLogic(MonitorSettings& settings, TerminalAcquisition& acquisition, TerminalListView& list,
                     ModemAgentControl* agent, const TerminalLookup& lookup, AlertSender& sender,
                     ReportClock& reportClock, ui::MessageBoxPort& messages);

  // Each of these answers whether the list must be rebuilt and shown anew.

  // At start-up: the full sequence, the alert check, the status.
  bool StartUp();
  // Timer 1: ids and states, the alert check, the status.
  bool Poll();
  // "刷新": the full sequence; a failure is told in a box.
  bool Refresh();
  // The selectors; the list is rebuilt here when the choice changed.
  bool ChooseArea(int index);
  bool ChooseState(int index);
  // After "电话号码" was confirmed: the selector, the members, the status.
  bool PhoneNumbersConfirmed();

  // After "系统参数" was confirmed: the report times are taken over; the
  // poll timer's new period in milliseconds.
  int SystemSettingsConfirmed();
  int PollPeriodMs() const { return settings_.pollInterval * 1000; }

  bool CanConnect() const { return !agent_ || !agent_->ConnectRequested(); }
  bool CanDisconnect() const { return agent_ && agent_->ConnectRequested(); }
  void Connect();
  void Disconnect();

  // A report time came, or the hidden "测试" button.
  void ReportDue();
  // Reads the agent and the last refresh into the status bar and the tray.
  const MonitorStatus& UpdateStatus();
  const MonitorStatus& status() const { return status_; }
  // The window closes: the report clock stops and the settings are saved.
  void Close();

 private:
  bool AfterRefresh(bool succeeded);

  MonitorSettings& settings_;
  TerminalAcquisition& acquisition_;
  TerminalListView& list_;
  ModemAgentControl* agent_;
  const TerminalLookup& lookup_;
  AlertSender& sender_;
  ReportClock& reportClock_;
  ui::MessageBoxPort& messages_;
  StatusTexts statusTexts_;
  MonitorStatus status_;
};
