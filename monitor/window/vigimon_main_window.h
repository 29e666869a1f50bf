// The monitor's window, "终端故障监控", and its notification-area icon: the
// filters, the terminal list, the status bar, the menus and the tray menu.
// It only shows VigimonWindowLogic's state and forwards its timer, buttons
// and commands there; the dialogs and the export come through ports.
#pragma once

#include <functional>

#include <QMainWindow>
#include <QSystemTrayIcon>
#include <QTimer>

#include "monitor/dialogs/monitor_dialogs.h"
#include "monitor/view/terminal_table_model.h"
#include "monitor/view/tray_clicks.h"
#include "monitor/view/vigimon_window_logic.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

class VigimonMainWindow : public QMainWindow {
 public:
  // `exportTable` runs "导出终端及故障表" (the Save As dialog and the export).
  VigimonMainWindow(VigimonWindowLogic& logic, TerminalListView& list, MonitorSettings& settings,
                    MonitorDialogs& dialogs, ServerAreaSource& areas, std::function<void()> exportTable);
  ~VigimonMainWindow() override;

  // The start-up sequence, the status, the tray icon and the poll timer.
  // With no tray host the window shows itself instead, since nothing else
  // could bring it up.
  void Start();
  void ShowFromTray();
  void HideToTray();
  // A report time came: the report, then the selector and the list again
  // when it read the areas anew.
  void ReportDue();
  // "退出" from a menu or the title bar: asks first. A close from the
  // program itself (a stop signal) does not ask.
  void QuitAsked();

  // For tests and the screenshots.
  QTableView* list() const { return table_; }
  QComboBox* areaCombo() const { return areaCombo_; }
  QComboBox* stateCombo() const { return stateCombo_; }
  QLineEdit* searchField() const { return search_; }
  QMenu* trayMenu() const { return trayMenu_; }
  QSystemTrayIcon* tray() const { return tray_; }
  QAction* systemSettingsAction() const { return systemSettings_; }
  QAction* phoneNumbersAction() const { return phoneNumbers_; }
  QAction* exportAction() const { return export_; }
  QAction* connectAction() const { return connect_; }
  QAction* disconnectAction() const { return disconnect_; }
  QLabel* statusPart(int part) const { return statusParts_[part]; }
  const QTimer& pollTimer() const { return pollTimer_; }
  bool trayShowsGood() const { return trayGood_; }

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildMenus();
  void BuildFilters(QWidget* top);
  void BuildStatusBar();
  void BuildTray();
  void FillAreaCombo();
  void ShowStatus();
  void Show(const MonitorStatus& status);
  void ShowList(bool rebuilt);

  VigimonWindowLogic& logic_;
  TerminalListView& listView_;
  MonitorSettings& settings_;
  MonitorDialogs& dialogs_;
  ServerAreaSource& areas_;
  std::function<void()> exportTable_;
  TerminalTableModel model_;
  QTableView* table_ = nullptr;
  QComboBox* areaCombo_ = nullptr;
  QComboBox* stateCombo_ = nullptr;
  QLineEdit* search_ = nullptr;
  TrayClicks trayClicks_;
  bool quitConfirmed_ = false;
  QLabel* statusParts_[3] = {};
  QLabel* statusIcons_[2] = {};
  QAction* export_ = nullptr;
  QAction* connect_ = nullptr;
  QAction* disconnect_ = nullptr;
  QAction* systemSettings_ = nullptr;
  QAction* phoneNumbers_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  bool trayGood_ = false;
  bool closing_ = false;
  QTimer pollTimer_;
};

inline constexpr const char* VIGIMON_WINDOW_TITLE = "终端故障监控";
