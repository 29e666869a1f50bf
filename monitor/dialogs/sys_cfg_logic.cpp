#include "monitor/dialogs/sys_cfg_logic.h"

#include <algorithm>

#include "monitor/dialogs/dialog_texts.h"

namespace {

constexpr int kDefaultRateIndex = 8;  // "19200"
constexpr const char* kCaption = "参数设置";

}  // namespace

SysCfgLogic::SysCfgLogic(const MonitorSettings& settings, TimePointEditor& editor, ui::MessageBoxPort& messages)
    : editor_(editor),
      messages_(messages),
      portIndex_(settings.comPort >= 1 && settings.comPort <= 8 ? settings.comPort - 1 : 0),
      rateIndex_(kDefaultRateIndex),
      smsCentre_(settings.smsCentre),
      interval_(settings.pollInterval),
      threshold_(settings.offlinePercent),
      sendWhenAllNormal_(settings.sendWhenAllNormal != 0),
      confirmPolls_(settings.confirmPolls),
      recovery_(settings.recovery != 0),
      escalateMinutes_(settings.escalateMinutes) {
  const auto& rates = Rates();
  auto found = std::find(rates.begin(), rates.end(), std::to_string(settings.baudRate));
  if (found != rates.end()) rateIndex_ = static_cast<int>(found - rates.begin());
  for (const ReportTimePoint& point : settings.reportTimes) InsertSorted(point.name, FormatTimeOfDay(point.time));
}

const std::vector<std::string>& SysCfgLogic::Ports() {
  static const std::vector<std::string> ports = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
  return ports;
}

const std::vector<std::string>& SysCfgLogic::Rates() {
  static const std::vector<std::string> rates = {"110",   "300",   "600",    "1200",   "2400",
                                                 "4800",  "9600",  "14400",  "19200",  "38400",
                                                 "56000", "57600", "115200", "128000", "256000"};
  return rates;
}

void SysCfgLogic::Select(int row) { selected_ = row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1; }

int SysCfgLogic::InsertSorted(const std::string& name, const std::string& time) {
  // Before the first row at the same time or later: a new point goes ahead
  // of an equal one.
  auto at = std::find_if(rows_.begin(), rows_.end(), [&](const TimePointRow& row) { return row.time >= time; });
  auto index = at - rows_.begin();
  rows_.insert(at, TimePointRow{name, time});
  return static_cast<int>(index);
}

bool SysCfgLogic::Add() {
  auto point = editor_.AskNew();
  if (!point) return false;
  // The selection stays on its row, which moves down when the new one
  // goes above it.
  int at = InsertSorted(point->name, FormatTimeOfDay(point->time));
  if (selected_ >= 0 && at <= selected_) ++selected_;
  return true;
}

bool SysCfgLogic::Modify() {
  if (!canModifyOrDelete()) return false;
  const TimePointRow& row = rows_[static_cast<size_t>(selected_)];
  ReportTimePoint current{row.name, ParseTimeOfDay(row.time).value_or(TimeOfDay{})};
  auto edited = editor_.AskEdit(current);
  if (!edited) return false;
  rows_.erase(rows_.begin() + selected_);
  selected_ = -1;
  InsertSorted(edited->name, FormatTimeOfDay(edited->time));
  return true;
}

bool SysCfgLogic::Delete() {
  if (!canModifyOrDelete()) return false;
  if (!ConfirmDelete(messages_, rows_[static_cast<size_t>(selected_)].name)) return false;
  rows_.erase(rows_.begin() + selected_);
  selected_ = -1;
  return true;
}

bool SysCfgLogic::Confirm(const SysCfgEntry& entry, MonitorSettings& settings) {
  auto interval = ReadIntegerField(entry.intervalText, messages_);
  if (!interval) return false;
  auto threshold = ReadIntegerField(entry.thresholdText, messages_);
  if (!threshold) return false;
  auto confirmPolls = ReadIntegerField(entry.confirmPollsText, messages_);
  if (!confirmPolls) return false;
  auto escalate = ReadIntegerField(entry.escalateText, messages_);
  if (!escalate) return false;
  std::string centre = TrimBlanks(entry.smsCentre);
  if (centre.empty()) {
    ShowDialogError(messages_, "请重新设置短信中心号码！", kCaption);
    return false;
  }
  if (centre.size() < 11 || centre.size() > 13) {
    ShowDialogError(messages_, "短信中心号码长度错误，请重新设置！", kCaption);
    return false;
  }
  // Longer than the timer can count would stop the polling altogether.
  if (*interval <= 9 || *interval > kMaxPollInterval) {
    ShowDialogError(messages_, "请重新设置自动监控终端状态时间间隔！", kCaption);
    return false;
  }
  if (*threshold < 1 || *threshold > 100) {
    ShowDialogError(messages_, "请重新设置离线和出现故障的终端所占百分比阀值！", kCaption);
    return false;
  }
  if (*confirmPolls < 1 || *confirmPolls > kMaxConfirmPolls) {
    ShowDialogError(messages_, "请重新设置连续确认次数(1-100)！", kCaption);
    return false;
  }
  if (*escalate < 0 || *escalate > kMaxEscalateMinutes) {
    ShowDialogError(messages_, "请重新设置升级通知时间(0-10080)！", kCaption);
    return false;
  }

  int port = std::clamp(entry.portIndex, 0, static_cast<int>(Ports().size()) - 1);
  int rate = entry.rateIndex >= 0 && entry.rateIndex < static_cast<int>(Rates().size()) ? entry.rateIndex : rateIndex_;
  settings.comPort = port + 1;
  settings.baudRate = std::stoi(Rates()[static_cast<size_t>(rate)]);
  settings.smsCentre = centre.compare(0, 2, "86") == 0 ? centre : "86" + centre;
  settings.pollInterval = *interval;
  settings.sendWhenAllNormal = entry.sendWhenAllNormal ? 1 : 0;
  settings.offlinePercent = *threshold;
  settings.confirmPolls = *confirmPolls;
  settings.recovery = entry.recovery ? 1 : 0;
  settings.escalateMinutes = *escalate;
  settings.reportTimes.clear();
  for (const TimePointRow& row : rows_) {
    if (auto time = ParseTimeOfDay(row.time)) settings.reportTimes.push_back({row.name, *time});
  }
  saveSettings(settings);
  return true;
}
