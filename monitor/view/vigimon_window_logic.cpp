#include "monitor/view/vigimon_window_logic.h"

#include "monitor/acquisition/acquisition_sequences.h"
#include "monitor/alerts/offline_alerts.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/message_box.h"

VigimonWindowLogic::VigimonWindowLogic(MonitorSettings& settings, TerminalAcquisition& acquisition,
                                       TerminalListView& list, ModemAgentControl* agent, const TerminalLookup& lookup,
                                       AlertSender& sender, ReportClock& reportClock, ui::MessageBoxPort& messages)
    : monitoring_(settings, acquisition, agent, lookup, sender, reportClock), list_(list), messages_(messages) {}

bool VigimonWindowLogic::AfterRefresh(bool succeeded) {
  UpdateStatus();
  if (succeeded) list_.RebuildShownList();
  return succeeded;
}

bool VigimonWindowLogic::StartUp() {
  return AfterRefresh(monitoring_.StartUp([this] { list_.RefillAreaChoices(); }));
}

bool VigimonWindowLogic::Poll() { return AfterRefresh(monitoring_.Poll()); }

bool VigimonWindowLogic::Refresh() {
  bool ok = RunRefreshSequence(monitoring_.acquisition(), [this] { list_.RefillAreaChoices(); });
  monitoring_.TellAcquired();
  AfterRefresh(ok);
  if (!ok)
    messages_.Show(codepage::Utf8ToGbk("连接服务器失败！请检查服务器后重试！"), codepage::Utf8ToGbk("刷新"),
                   ui::MessageIcon::Error, ui::MB_OK);
  return ok;
}

bool VigimonWindowLogic::ChooseArea(int index) {
  if (!list_.SelectArea(index)) return false;
  list_.RebuildShownList();
  return true;
}

bool VigimonWindowLogic::ChooseState(int index) {
  if (!list_.SelectState(index)) return false;
  list_.RebuildShownList();
  return true;
}

bool VigimonWindowLogic::Search(const std::string& utf8) {
  list_.SetSearch(utf8);
  list_.RebuildShownList();
  return true;
}

bool VigimonWindowLogic::ConfirmQuit() {
  return messages_.Show(codepage::Utf8ToGbk("退出后将停止监控终端状态，确定要退出吗？"), codepage::Utf8ToGbk("退出"),
                        ui::MessageIcon::Question, ui::MB_OKCANCEL) == ui::IDOK;
}

bool VigimonWindowLogic::PhoneNumbersConfirmed() {
  bool ok = RunAreaDialogSequence(monitoring_.acquisition(), [this] { list_.RefillAreaChoices(); });
  monitoring_.TellAcquired();  // the areas and their members may have changed
  return AfterRefresh(ok);
}

int VigimonWindowLogic::SystemSettingsConfirmed() {
  monitoring_.reportClock().SetSchedule(monitoring_.settings().reportTimes);
  return PollPeriodMs();
}

bool VigimonWindowLogic::ReportDue() {
  bool areasRead = false;
  monitoring_.ReportDue([&] {
    list_.RefillAreaChoices();
    areasRead = true;
  });
  if (areasRead) list_.RebuildShownList();
  return areasRead;
}
