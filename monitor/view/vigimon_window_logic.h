// What the monitor's window does besides drawing the list: the monitoring
// itself (monitoring_logic.h, shared with the headless host), the refresh
// button, the two filters, the status bar and the tray icon's choice, and
// what follows the two settings dialogs. No widget header: the window shows
// this class's state and forwards its timers, buttons and menu commands here.
#pragma once

#include <array>
#include <string>

#include "common/modem_agent_control.h"
#include "monitor/acquisition/terminal_acquisition.h"
#include "monitor/alerts/alert_inputs.h"
#include "monitor/alerts/report_clock.h"
#include "monitor/view/monitoring_logic.h"
#include "monitor/view/status_texts.h"
#include "monitor/view/terminal_list_view.h"
#include "platform/ui/message_box.h"

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
  // The search field (UTF-8); the list is rebuilt.
  bool Search(const std::string& utf8);
  // After "电话号码" was confirmed: the selector, the members, the status.
  bool PhoneNumbersConfirmed();

  // After "系统参数" was confirmed: the report times are taken over; the
  // poll timer's new period in milliseconds.
  int SystemSettingsConfirmed();
  int PollPeriodMs() const { return monitoring_.PollPeriodMs(); }

  bool CanConnect() const { return monitoring_.CanConnect(); }
  bool CanDisconnect() const { return monitoring_.CanDisconnect(); }
  void Connect() { monitoring_.Connect(); }
  void Disconnect() { monitoring_.Disconnect(); }

  // Before StartUp: `observer` hears the figures (monitoring_observer.h).
  void SetObserver(MonitoringObserver* observer) { monitoring_.SetObserver(observer); }

  // A report time came, or the hidden "测试" button. True when the report
  // read the areas anew: the selector and the list must be shown again.
  bool ReportDue();
  // The operator closes the window, which ends the monitoring: true when
  // they confirm it.
  bool ConfirmQuit();
  // Reads the agent and the last refresh into the status bar and the tray.
  const MonitorStatus& UpdateStatus() { return monitoring_.UpdateStatus(); }
  const MonitorStatus& status() const { return monitoring_.status(); }
  // The window closes: the report clock stops and the settings are saved.
  void Close() { monitoring_.Close(); }

 private:
  bool AfterRefresh(bool succeeded);

  MonitoringLogic monitoring_;
  TerminalListView& list_;
  ui::MessageBoxPort& messages_;
};
