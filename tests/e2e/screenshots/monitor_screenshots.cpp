// Writes the pictures of the monitor's window and dialogs that the README
// shows: the window on the simulated installation with terminals offline
// and faulty, under each filter, its tray menu, and every dialog. Run on an
// X server with a window manager (scripts/screenshots.sh), so that the
// pictures have title bars.
//
//   monitor_screenshots OUTPUT_DIR
#include <cstdio>
#include <string>

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QTest>

#include "monitor/app/monitor_window_app.h"
#include "monitor/dialogs/qt/contact_dialog.h"
#include "monitor/dialogs/qt/phone_num_mgr_dialog.h"
#include "monitor/dialogs/qt/qt_monitor_dialogs.h"
#include "monitor/dialogs/qt/sys_cfg_dialog.h"
#include "monitor/dialogs/qt/time_point_dialog.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/qt/qt_message_box.h"
#include "tests/e2e/screenshots/snap.h"
#include "tests/e2e/support/monitor_installation.h"

namespace {

std::string Gbk(const char* utf8) { return codepage::Utf8ToGbk(utf8); }

MonitorSettings InstallationSettings() {
  MonitorSettings settings;
  settings.baudRate = 19200;
  settings.smsCentre = "8613800100500";
  settings.pollInterval = 10;
  settings.offlinePercent = 30;
  settings.reportTimes = {{Gbk("早班报告"), {8, 0, 0}}, {Gbk("晚班报告"), {20, 30, 0}}};
  settings.areas[TOTAL_AREA_ID] = {
      Gbk("大面积离线"), UNJUDGED_BASELINE, {{Gbk("值班长"), "13900000001"}, {Gbk("系统工程师"), "13900000002"}}};
  // Named as the platform names them, which is what the window shows.
  settings.areas[1] = {Gbk("区域1"), UNJUDGED_BASELINE, {{Gbk("一区主管"), "13800000001"}}};
  settings.areas[2] = {Gbk("区域2"), UNJUDGED_BASELINE, {{Gbk("二区主管"), "13800000002"}}};
  settings.areas[3] = {Gbk("区域3"), UNJUDGED_BASELINE, {}};
  return settings;
}

// Some terminals drop off the network, others report a fault while online.
void BreakSomeTerminals(BcSim& bcsim) {
  for (int terminal : {8, 9, 40, 71, 72, 73, 74, 75})
    bcsim.Call({{"cmd", "set_terminal"}, {"id", terminal}, {"online", false}, {"fault", 6}});
  for (auto [terminal, fault] : {std::pair{3, 4}, {12, 5}, {50, 2}, {88, 7}})
    bcsim.Call({{"cmd", "set_terminal"}, {"id", terminal}, {"fault", fault}});
}

bool ShootFilters(VigimonMainWindow& window) {
  bool ok = Snap(&window, "vigimon-main-window.png");
  const std::pair<int, const char*> states[] = {
      {STATE_ONLINE, "vigimon-filter-online.png"},
      {STATE_OFFLINE, "vigimon-filter-offline.png"},
      {STATE_FAULT, "vigimon-filter-fault.png"},
  };
  for (auto [state, name] : states) {
    window.stateCombo()->setCurrentIndex(state);
    ok = Snap(&window, name) && ok;
  }
  window.stateCombo()->setCurrentIndex(STATE_ALL);
  window.areaCombo()->setCurrentIndex(3);  // 区域3
  ok = Snap(&window, "vigimon-filter-area.png") && ok;
  window.areaCombo()->setCurrentIndex(0);
  return ok;
}

bool ShootDialogs(VigimonMainWindow& window, MonitorSettings& settings, ui::MessageBoxPort& messages) {
  // Copies: the pictures must not change what the window runs on.
  MonitorSettings shown = settings;
  shown.confirmPolls = 2;
  shown.recovery = 1;
  shown.escalateMinutes = 30;
  QtTimePointEditor timePoints(&window, messages);
  CSysCfgDlg system(&window, shown, timePoints, messages);
  bool ok = Snap(&system, "vigimon-system-settings.png");
  system.hide();
  CTimePointDlg timePoint(&window, TimePointLogic(false, shown.reportTimes.front(), messages));
  ok = Snap(&timePoint, "vigimon-time-point.png") && ok;
  timePoint.hide();

  auto firstArea = shown.areas.lower_bound(0);
  if (firstArea != shown.areas.end()) firstArea->second.quiet = QuietHours{{22, 0, 0}, {7, 0, 0}};
  PlatformAreaSource areas;
  QtContactEditor contacts(&window, messages);
  CPhoneNumMgrDlg phoneNumbers(&window, shown, areas, contacts, messages);
  phoneNumbers.show();
  // The first area after the installation's own row, with its contacts and quiet hours.
  auto* areaList = phoneNumbers.findChildren<QTableWidget*>().value(0);
  const int row = areaList && areaList->rowCount() > 1 ? 1 : 0;
  if (areaList && areaList->rowCount() > 0)
    QTest::mouseClick(areaList->viewport(), Qt::LeftButton, {},
                      areaList->visualItemRect(areaList->item(row, 0)).center());
  ok = Snap(&phoneNumbers, "vigimon-phone-numbers.png") && ok;
  phoneNumbers.hide();
  CContactsAndPhone contact(&window, ContactLogic(false, shown.areas[TOTAL_AREA_ID].contacts.front(), messages));
  ok = Snap(&contact, "vigimon-contact.png") && ok;
  contact.hide();
  return ok;
}

int Shoot() {
  MonitorInstallation installation(InstallationSettings());
  QtMessageBox messageBox;
  QtMonitorDialogs dialogs(nullptr, messageBox);
  PlatformAreaSource areas;
  std::string error;
  auto app = MonitorWindowApp::Start(
      MonitorSettings::Instance(), messageBox, dialogs, areas, [](QWidget*, const TerminalAcquisition&) {}, error);
  if (!app) return std::fprintf(stderr, "start failed: %s\n", error.c_str()), 1;
  VigimonMainWindow& window = app->window();
  window.Start();  // no notification area here: the window shows itself
  window.connectAction()->trigger();
  auto status = [&](int part) { return window.statusPart(part)->text(); };
  if (!QTest::qWaitFor([&] { return status(0) == QStringLiteral("短信猫已连接"); }, 30000)) return 2;
  BreakSomeTerminals(installation.bcsim());
  if (!QTest::qWaitFor([&] { return status(2) == QStringLiteral("离线终端数量：8"); }, 30000)) return 3;

  bool ok = ShootFilters(window);
  QRect place = window.geometry();
  window.trayMenu()->popup(place.topLeft() + QPoint(place.width() - 160, 40));
  ok = Snap(window.trayMenu(), "vigimon-tray-menu.png", false) && ok;
  window.trayMenu()->hide();
  ok = ShootDialogs(window, app->core().settings, messageBox) && ok;

  window.close();
  app.reset();
  return ok ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  if (argc != 2) return std::fprintf(stderr, "usage: monitor_screenshots OUTPUT_DIR\n"), 2;
  SetScreenshotFolder(QString::fromLocal8Bit(argv[1]));
  return Shoot();
}
