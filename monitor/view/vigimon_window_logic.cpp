#include "monitor/view/vigimon_window_logic.h"

#include "monitor/acquisition/acquisition_sequences.h"
#include "monitor/alerts/offline_alerts.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/message_box.h"

VigimonWindowLogic::VigimonWindowLogic(MonitorSettings& settings, TerminalAcquisition& acquisition,
                                       TerminalListView& list, ModemAgentControl* agent, const TerminalLookup& lookup,
                                       AlertSender& sender, ReportClock& reportClock, ui::MessageBoxPort& messages)
    : settings_(settings),
      acquisition_(acquisition),
      list_(list),
      agent_(agent),
      lookup_(lookup),
      sender_(sender),
      reportClock_(reportClock),
      messages_(messages) {}

bool VigimonWindowLogic::AfterRefresh(bool succeeded) {
  UpdateStatus();
  if (succeeded) list_.RebuildShownList();
  return succeeded;
}

bool VigimonWindowLogic::StartUp() {
  bool ok = RunStartUpSequence(acquisition_, [this] { list_.RefillAreaChoices(); });
  if (ok) checkOfflineAlerts(settings_, lookup_, &sender_);
  return AfterRefresh(ok);
}

bool VigimonWindowLogic::Poll() {
  bool ok = RunPollSequence(acquisition_);
  if (ok) checkOfflineAlerts(settings_, lookup_, &sender_);
  return AfterRefresh(ok);
}

bool VigimonWindowLogic::Refresh() {
  bool ok = RunRefreshSequence(acquisition_, [this] { list_.RefillAreaChoices(); });
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

bool VigimonWindowLogic::PhoneNumbersConfirmed() {
  return AfterRefresh(RunAreaDialogSequence(acquisition_, [this] { list_.RefillAreaChoices(); }));
}

int VigimonWindowLogic::SystemSettingsConfirmed() {
  reportClock_.SetSchedule(settings_.reportTimes);
  return PollPeriodMs();
}

void VigimonWindowLogic::Connect() {
  if (agent_) agent_->Connect(settings_.comPort, settings_.baudRate, "127.0.0.1");
  UpdateStatus();
}

void VigimonWindowLogic::Disconnect() {
  if (agent_) agent_->Disconnect();
  UpdateStatus();
}

void VigimonWindowLogic::ReportDue() {
  sendScheduledReport(
      settings_, acquisition_.systemOk(),
      [this] { return RunReportReloadSequence(acquisition_, [this] { list_.RefillAreaChoices(); }); }, lookup_,
      &sender_);
}

const MonitorStatus& VigimonWindowLogic::UpdateStatus() {
  status_.texts = statusTexts_.Update(agent_, acquisition_.systemOk(), acquisition_.offlineCount(), settings_);
  status_.modemGood = statusTexts_.modemConnected();
  status_.systemGood = acquisition_.systemOk();
  status_.trayGood = status_.modemGood && status_.systemGood;
  return status_;
}

void VigimonWindowLogic::Close() {
  reportClock_.Stop();
  saveSettings(settings_);
}
