#include "monitor/app/windowed_monitor.h"

#include <memory>
#include <stdexcept>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

#include "monitor/app/monitor_adapters.h"
#include "monitor/dialogs/qt/qt_monitor_dialogs.h"
#include "monitor/export/terminal_export.h"
#include "monitor/window/vigimon_main_window.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/clock/clock.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "platform/ui/qt/qt_apartment.h"
#include "platform/ui/qt/qt_message_box.h"
#include "platform/ui/qt/qt_translations.h"
#include "platform/ui/qt/single_instance.h"

namespace {

// "导出终端及故障表": the Save As dialog, then the export. Qt's dialog leaves
// the process's current directory as it was.
void ExportWithSaveAs(QWidget* parent, const TerminalAcquisition& acquisition) {
  QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  QString suggested = QString::fromStdU16String(DefaultExportPath(desktop.toStdU16String()));
  QFileDialog dialog(parent, QStringLiteral("导出对照表"), suggested, QStringLiteral("Exel文件(*.xls)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("xls"));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  ExportTerminalTableTo(acquisition, dialog.selectedFiles().first().toStdU16String());
}

}  // namespace

int RunWindowedMonitor(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);  // the window hides to the tray
  InstallChineseQtTranslation(application);
  SingleInstance instance(QStringLiteral("Vigimon"));
  if (instance.AnotherIsRunning()) return 0;

  QtMessageBox messageBox;
  ui::SetMessageBox(&messageBox);
  com::CoInitialize();
  broadcast_components::RegisterBroadcastComponents();
  MonitorSettings& settings = MonitorSettings::Instance();
  loadSettings(settings);

  std::unique_ptr<KestrumAgent> agent;
  try {
    agent = std::make_unique<KestrumAgent>(AGENT_MODE_SEND);
  } catch (const std::runtime_error& e) {
    messageBox.Show(e.what(), "Vigimon", ui::MessageIcon::Warning, ui::MB_OK);
    ui::SetMessageBox(nullptr);
    com::CoUninitialize();
    return 1;
  }
  int status = 0;
  {
    KestrumAgentControl agentControl(*agent);
    ReportingSender sender(*agent, [](const std::string&, const std::string&, bool) {});
    TerminalAcquisition acquisition(settings, SystemClock());
    AcquisitionLookup lookup(acquisition);
    TerminalListView list(TerminalSnapshot::Of(acquisition), settings);
    auto apartment = com::Apartment::Current();
    VigimonWindowLogic* logicForClock = nullptr;
    ReportClock reportClock([apartment, &logicForClock] {
      apartment->Post([&logicForClock] {
        if (logicForClock) logicForClock->ReportDue();
      });
    });
    VigimonWindowLogic logic(settings, acquisition, list, &agentControl, lookup, sender, reportClock);
    logicForClock = &logic;
    QtMonitorDialogs dialogs(nullptr);
    PlatformAreaSource areas;
    QWidget* windowForExport = nullptr;
    VigimonMainWindow window(logic, list, settings, dialogs, areas,
                             [&] { ExportWithSaveAs(windowForExport, acquisition); });
    windowForExport = &window;
    dialogs.SetParent(&window);
    messageBox.SetParent(&window);
    DrainApartmentFromQt(&window);
    instance.OnShowRequested([&window] { window.ShowFromTray(); });

    reportClock.SetSchedule(settings.reportTimes);
    reportClock.Start();
    window.Start();
    status = application.exec();
    reportClock.Stop();
  }
  agent.reset();
  ui::SetMessageBox(nullptr);
  com::CoUninitialize();
  return status;
}
