// CSysCfgDlg, "参数设置": the modem's port and speed, the SMS centre, the
// poll interval, the report time points, the offline alert threshold and
// the alert options (confirming polls, recovery notice, escalation).
// The time points are edited in the dialog's own rows; MonitorSettings
// changes only on a confirmed OK.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "monitor/settings/monitor_settings.h"
#include "platform/ui/message_box.h"

// CTimePointDlg as "添加" and "修改" open it.
class TimePointEditor {
 public:
  virtual ~TimePointEditor() = default;
  // The confirmed new point, or nothing when cancelled.
  virtual std::optional<ReportTimePoint> AskNew() = 0;
  // The confirmed edit of `current`, or nothing.
  virtual std::optional<ReportTimePoint> AskEdit(const ReportTimePoint& current) = 0;
};

// One row of the time point list: "名称" and "时间点" ("%H:%M:%S").
struct TimePointRow {
  std::string name;
  std::string time;
};

// What the operator left in the controls when pressing OK.
struct SysCfgEntry {
  int portIndex = 0;  // into Ports()
  int rateIndex = 8;  // into Rates()
  std::string smsCentre;
  std::string intervalText;
  std::string thresholdText;
  bool sendWhenAllNormal = false;
  std::string confirmPollsText = "1";
  bool recovery = false;
  std::string escalateText = "0";
};

// The longest poll interval whose period in milliseconds still fits an int.
inline constexpr int32_t kMaxPollInterval = 2147483;

class SysCfgLogic {
 public:
  SysCfgLogic(const MonitorSettings& settings, TimePointEditor& editor, ui::MessageBoxPort& messages);

  // "COM1" .. "COM8", and the speeds from "110" to "256000".
  static const std::vector<std::string>& Ports();
  static const std::vector<std::string>& Rates();

  // The controls' values at opening: a port outside 1..8 shows "COM1", a
  // speed that is no entry shows "19200".
  int portIndex() const { return portIndex_; }
  int rateIndex() const { return rateIndex_; }
  const std::string& smsCentre() const { return smsCentre_; }
  std::string intervalText() const { return std::to_string(interval_); }
  std::string thresholdText() const { return std::to_string(threshold_); }
  bool sendWhenAllNormal() const { return sendWhenAllNormal_; }
  std::string confirmPollsText() const { return std::to_string(confirmPolls_); }
  bool recovery() const { return recovery_; }
  std::string escalateText() const { return std::to_string(escalateMinutes_); }

  // The list's rows, kept in ascending time order.
  const std::vector<TimePointRow>& rows() const { return rows_; }
  // -1 for none. "修改" and "删除" are enabled exactly when a row is.
  int selectedRow() const { return selected_; }
  void Select(int row);
  bool canModifyOrDelete() const { return selected_ >= 0; }

  // Each answers whether the rows changed. After "修改" and "删除" no row
  // is selected, so the buttons never act on a row that has moved away.
  bool Add();
  bool Modify();
  bool Delete();

  // OK: checks the entry in order, showing the first failure's message;
  // on success writes `settings`, saves them and answers true.
  bool Confirm(const SysCfgEntry& entry, MonitorSettings& settings);

 private:
  // The index the row went to.
  int InsertSorted(const std::string& name, const std::string& time);

  TimePointEditor& editor_;
  ui::MessageBoxPort& messages_;
  int portIndex_;
  int rateIndex_;
  std::string smsCentre_;
  int32_t interval_;
  int32_t threshold_;
  bool sendWhenAllNormal_;
  int32_t confirmPolls_;
  bool recovery_;
  int32_t escalateMinutes_;
  std::vector<TimePointRow> rows_;
  int selected_ = -1;
};
