#include "monitor/app/windowed_monitor.h"

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QFileDialog>
#include <QStandardPaths>

#include "monitor/app/monitor_metrics.h"
#include "monitor/app/monitor_window_app.h"
#include "monitor/dialogs/qt/qt_monitor_dialogs.h"
#include "monitor/export/terminal_export.h"
#include "platform/codepage/codepage.h"
#include "platform/signals/stop_signals.h"
#include "platform/ui/qt/qt_message_box.h"
#include "platform/ui/qt/qt_translations.h"
#include "platform/ui/qt/single_instance.h"
#include "platform/ui/qt/stop_signal_close.h"

namespace {

// "导出终端及故障表": the Save As dialog, then the export. Qt's dialog leaves
// the process's current directory as it was.
void ExportWithSaveAs(QWidget* parent, const TerminalAcquisition& acquisition, ui::MessageBoxPort& messages) {
  QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  QString suggested = QString::fromStdU16String(DefaultExportPath(desktop.toStdU16String()));
  QFileDialog dialog(parent, QStringLiteral("导出对照表"), suggested, QStringLiteral("Exel文件(*.xls)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("xls"));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  ExportTerminalTableTo(acquisition, dialog.selectedFiles().first().toStdU16String(), messages);
}

}  // namespace

int RunWindowedMonitor(int argc, char** argv, MonitorSettings& settings, const std::string& metricsAddress) {
  stop_signals::Block();  // before Qt, the agent and the clocks start their threads
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);  // the window hides to the tray
  InstallChineseQtTranslation(application);
  SingleInstance instance(QStringLiteral("Vigimon"));
  if (instance.AnotherIsRunning()) return 0;

  QtMessageBox messageBox;
  QtMonitorDialogs dialogs(nullptr, messageBox);
  PlatformAreaSource areas;
  std::string error;
  std::unique_ptr<MonitorWindowApp> monitor = MonitorWindowApp::Start(
      settings, messageBox, dialogs, areas,
      [&messageBox](QWidget* parent, const TerminalAcquisition& acquisition) {
        ExportWithSaveAs(parent, acquisition, messageBox);
      },
      error);
  if (!monitor) {
    messageBox.Show(codepage::Utf8ToGbk(error), "Vigimon", ui::MessageIcon::Warning, ui::MB_OK);
    return 1;
  }
  VigimonMainWindow& window = monitor->window();
  dialogs.SetParent(&window);
  messageBox.SetParent(&window);
  instance.OnShowRequested([&window] { window.ShowFromTray(); });

  CloseOnStopSignals closeOnStop(window);
  std::unique_ptr<metrics::Endpoint> metricsEndpoint =
      ServeMonitorMetrics(monitor->core(), metricsAddress,
                          [](const std::string& line) { std::fprintf(stderr, "Vigimon: %s\n", line.c_str()); });

  window.Start();
  int status = application.exec();
  metricsEndpoint.reset();  // no scrape reads the core past here
  monitor.reset();
  return status;
}
