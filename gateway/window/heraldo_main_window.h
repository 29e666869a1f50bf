// The gateway's one window, "短信接入网关": menus, the status bar and the
// list of messages. It only shows the logic classes' state and forwards the
// menu commands, the right clicks and the four timers to them.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QMainWindow>
#include <QTimer>

#include "gateway/pipeline/heraldo_view_logic.h"
#include "gateway/pipeline/heraldo_window_logic.h"

class QAction;
class QLabel;
class QMenu;
class QTreeWidget;

class HeraldoMainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `sessionsTick` is timer 4 (finished sessions are removed); `shutDown`
  // runs once when the window closes, after the rows have gone to log.txt.
  HeraldoMainWindow(HeraldoViewLogic& view, HeraldoWindowLogic& logic, std::function<void()> sessionsTick,
                    std::function<void()> shutDown);
  ~HeraldoMainWindow() override;

  // Starts the four timers and shows the status; call once, after show().
  void Start();
  // Timers 1 and 2 by hand (tests and the tick benchmark).
  void ReceiveTick();
  void ScheduleTick();
  // Brings the window forward, restored if minimised (a second start).
  void BringForward();

  // For tests and the screenshots: the list, the context menu of a right
  // click on `row` (nothing: below the last row), and the menu actions.
  QTreeWidget* list() const { return list_; }
  QMenu* ContextMenuFor(std::optional<size_t> row);
  QAction* connectAction() const { return connect_; }
  QAction* disconnectAction() const { return disconnect_; }
  QAction* textBroadcastAction() const { return textBroadcast_; }
  QAction* commSettingsAction() const { return commSettings_; }
  QAction* authorisationAction() const { return authorisation_; }
  QAction* cleanupAction() const { return cleanup_; }
  QAction* aboutAction() const { return about_; }
  QLabel* modemPane() const { return modemPane_; }
  // The timers' work, callable without waiting for them.

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildStatusBar();
  void BuildList();
  void WatchRows();
  void ShowStatus();
  void ShowContextMenu(const QPoint& position);
  void ShowAbout();
  std::optional<size_t> RowAt(const QPoint& position) const;
  std::optional<size_t> FirstSelectedRow() const;

  HeraldoViewLogic& view_;
  HeraldoWindowLogic& logic_;
  std::function<void()> sessionsTick_;
  std::function<void()> shutDown_;
  bool shutDownDone_ = false;
  QTreeWidget* list_ = nullptr;
  QLabel* modemPane_ = nullptr;
  QAction* connect_ = nullptr;
  QAction* disconnect_ = nullptr;
  QAction* textBroadcast_ = nullptr;
  QAction* commSettings_ = nullptr;
  QAction* authorisation_ = nullptr;
  QAction* cleanup_ = nullptr;
  QAction* about_ = nullptr;
  QMenu* contextMenu_ = nullptr;
  QAction* replay_ = nullptr;
  std::vector<QTimer*> timers_;  // the logic's four, owned by the window
};

// The window's title.
inline constexpr const char* HERALDO_WINDOW_TITLE = "短信接入网关";
