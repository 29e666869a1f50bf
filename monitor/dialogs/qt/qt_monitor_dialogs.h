// The monitor's settings dialogs as the main window opens them: each one
// modal to `parent`, with its sub-dialog modal to it.
#pragma once

#include "monitor/dialogs/monitor_dialogs.h"
#include "platform/ui/message_box.h"

class QWidget;

class QtMonitorDialogs final : public MonitorDialogs {
 public:
  QtMonitorDialogs(QWidget* parent, ui::MessageBoxPort& messages) : parent_(parent), messages_(messages) {}
  // The main window is made after the logic that opens its dialogs.
  void SetParent(QWidget* parent) { parent_ = parent; }

  bool RunSystemSettings(MonitorSettings& settings) override;
  bool RunPhoneNumbers(MonitorSettings& settings, ServerAreaSource& areas) override;

 private:
  QWidget* parent_;
  ui::MessageBoxPort& messages_;
};
