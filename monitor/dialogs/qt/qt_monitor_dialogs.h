// The monitor's settings dialogs as the main window opens them: each one
// modal to `parent`, with its sub-dialog modal to it.
#pragma once

#include "monitor/dialogs/monitor_dialogs.h"

class QWidget;

class QtMonitorDialogs final : public MonitorDialogs {
 public:
  explicit QtMonitorDialogs(QWidget* parent) : parent_(parent) {}
  // The main window is made after the logic that opens its dialogs.
  void SetParent(QWidget* parent) { parent_ = parent; }

  bool RunSystemSettings(MonitorSettings& settings) override;
  bool RunPhoneNumbers(MonitorSettings& settings, ServerAreaSource& areas) override;

 private:
  QWidget* parent_;
};
