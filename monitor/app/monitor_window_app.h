// The windowed monitor put together: the core, the list, the report clock,
// the window's logic and the window, with the dialogs, the area source and
// the export it is given (the real ones, or a test's).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "monitor/alerts/report_clock.h"
#include "monitor/app/monitor_core.h"
#include "monitor/dialogs/monitor_dialogs.h"
#include "monitor/view/terminal_list_view.h"
#include "monitor/view/vigimon_window_logic.h"
#include "monitor/window/vigimon_main_window.h"

class QWidget;

class MonitorWindowApp {
 public:
  // "导出终端及故障表": called with the window and the last refresh.
  using ExportTable = std::function<void(QWidget* window, const TerminalAcquisition& acquisition)>;

  // Needs a QApplication. The agent is made but not connected: the operator
  // chooses "连接". On failure nothing is returned and `error` (UTF-8) says
  // why. The dialogs and the area source must outlive the app.
  // `messages` must outlive the app.
  static std::unique_ptr<MonitorWindowApp> Start(MonitorSettings& settings, ui::MessageBoxPort& messages,
                                                 MonitorDialogs& dialogs, ServerAreaSource& areas,
                                                 ExportTable exportTable, std::string& error);
  // Stops the report clock, then takes the window down before the core.
  ~MonitorWindowApp();

  MonitorCore& core() { return *core_; }
  VigimonWindowLogic& logic() { return *logic_; }
  VigimonMainWindow& window() { return *window_; }

 private:
  MonitorWindowApp() = default;

  std::unique_ptr<MonitorCore> core_;
  std::unique_ptr<TerminalListView> list_;
  std::unique_ptr<ReportClock> reportClock_;
  std::unique_ptr<VigimonWindowLogic> logic_;
  std::unique_ptr<VigimonMainWindow> window_;
};
