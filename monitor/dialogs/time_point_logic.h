// CTimePointDlg: one report time point, its name and its time of day.
#pragma once

#include <string>

#include "monitor/settings/monitor_settings.h"
#include "platform/ui/message_box.h"

class TimePointLogic {
 public:
  // A new point starts with an empty name at `time` (the opener passes the
  // current local time); an edited one with its own values.
  TimePointLogic(bool isNew, ReportTimePoint point, ui::MessageBoxPort& messages);

  bool isNew() const { return isNew_; }
  // "新增时间点" or "编辑时间点", GBK.
  const std::string& caption() const { return caption_; }
  const ReportTimePoint& point() const { return point_; }

  // "确定": a name of blanks only is refused with its message and the
  // dialog stays open; otherwise keeps the trimmed name and `time`.
  bool Confirm(const std::string& nameText, const TimeOfDay& time);

 private:
  bool isNew_;
  std::string caption_;
  ReportTimePoint point_;
  ui::MessageBoxPort& messages_;
};
