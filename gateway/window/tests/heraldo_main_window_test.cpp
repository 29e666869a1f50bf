// The main window's widgets over its logic: real right clicks on the list,
// and the menu commands as the operator chooses them.
#include "gateway/window/heraldo_main_window.h"

#include <filesystem>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "platform/clock/manual_clock.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/message_box.h"

namespace {

namespace fs = std::filesystem;

struct Agent : ModemAgentControl {
  bool requested = false, ready = false;
  std::vector<std::pair<int, int>> connects;
  bool ConnectRequested() const override { return requested; }
  bool ModemReady() const override { return ready; }
  void GetModemSettings(int& port, int& rate) override { port = 6, rate = 9600; }
  void Connect(int port, int rate, const std::string&) override {
    connects.emplace_back(port, rate);
    requested = true;
  }
  void Disconnect() override { requested = false; }
};

struct Dialogs : GatewayDialogs {
  std::optional<CommSettingsValues> AskCommSettings(const CommSettingsValues&) override {
    return CommSettingsValues{"COM4", "38400", "127.0.0.1", 2};
  }
  std::optional<AuthorisationValues> AskAuthorisation(const AuthorisationValues&) override { return std::nullopt; }
  std::optional<CleanupValues> AskCleanup(const CleanupValues&) override { return std::nullopt; }
};

struct Boxes : ui::MessageBoxPort {
  std::vector<std::string> shown;
  int Show(const std::string& text, const std::string&, ui::MessageIcon, int) override {
    shown.push_back(codepage::GbkToUtf8(text));
    return ui::IDOK;
  }
};

struct Nothing : ReceivedMessages, BroadcastPort, AudioMaker, TextBroadcastDialog {
  bool PopReceived(std::string&, std::string&, std::string&) override { return false; }
  std::vector<int> AllTerminalIds() override { return {1}; }
  int CreateSession(const std::vector<int>&, const std::vector<PlayItem>&, const std::string&) override { return -1; }
  std::optional<bool> SessionFinished(int) override { return std::nullopt; }
  SpeechResult Text2Wav(const std::string&, const std::string&) override { return {1}; }
  void Wav2Mp3(const std::string&) override {}
  std::optional<TextBroadcastRequest> Ask(const PatTable&) override { return std::nullopt; }
};

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("heraldo-main-window-" + std::to_string(getpid()));
    fs::create_directories(dir);
    view.emplace(settings, (dir / "SMS.ini").string(), dir.string(),
                 PipelinePorts{&nothing, &nothing, &nothing, &nothing, &clock});
    logic.emplace(settings, (dir / "SMS.ini").string(), (dir / "SMServer.ini").string(), server, *view, &agent, dialogs,
                  boxes);
    window.emplace(
        *view, *logic, [] {}, [] {});
    window->show();
  }
  void TearDown() override {
    window.reset();
    fs::remove_all(dir);
  }
  void AddRow(std::optional<int32_t> state) {
    MessageRow row;
    row.columns[COL_NUMBER] = "13900000001";
    if (state) row.item = MessageItem{*state, -1, 0};
    view->rows().Append(row);
  }
  // Right-clicks at `position` in the list; what popped up, if anything.
  struct Popup {
    bool shown = false;
    bool replayEnabled = false;
  };
  Popup RightClick(QPoint position) {
    Popup popup;
    QTimer::singleShot(0, [&] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        popup = {true, menu->actions().at(0)->isEnabled()};
        menu->close();
      }
    });
    QWidget* viewport = window->list()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, position, viewport->mapToGlobal(position));
    QApplication::sendEvent(viewport, &event);
    QApplication::processEvents();
    return popup;
  }
  QPoint RowCentre(int row) { return window->list()->visualItemRect(window->list()->topLevelItem(row)).center(); }

  fs::path dir;
  GatewaySettings settings;
  BroadcastServerSettings server;
  Nothing nothing;
  ManualClock clock{1765000000};
  Agent agent;
  Dialogs dialogs;
  Boxes boxes;
  std::optional<HeraldoViewLogic> view;
  std::optional<HeraldoWindowLogic> logic;
  std::optional<HeraldoMainWindow> window;
};

TEST_F(MainWindow, RightClicksOpenTheReplayMenuAsTheRowAllows) {
  AddRow(std::nullopt);
  AddRow(SMS_PLAYED);
  AddRow(SMS_WAITING);
  AddRow(TEXT_WAITING);
  ASSERT_EQ(window->list()->topLevelItemCount(), 4);

  EXPECT_FALSE(RightClick(RowCentre(0)).shown);  // unauthorised: no menu at all
  Popup played = RightClick(RowCentre(1));
  EXPECT_TRUE(played.shown);
  EXPECT_TRUE(played.replayEnabled);
  Popup waiting = RightClick(RowCentre(2));
  EXPECT_TRUE(waiting.shown);
  EXPECT_FALSE(waiting.replayEnabled);
  EXPECT_TRUE(RightClick(RowCentre(3)).replayEnabled);  // a text row waiting may be replayed
  Popup below = RightClick(QPoint(20, window->list()->viewport()->height() - 5));
  EXPECT_TRUE(below.shown);
  EXPECT_FALSE(below.replayEnabled);
}

TEST_F(MainWindow, MenuCommandsFollowTheAgent) {
  window->Start();
  EXPECT_EQ(window->modemPane()->text(), QStringLiteral("短信猫未连接"));
  EXPECT_TRUE(window->connectAction()->isEnabled());
  EXPECT_FALSE(window->disconnectAction()->isEnabled());

  window->commSettingsAction()->trigger();  // not connected: connects with the new port and rate
  ASSERT_EQ(agent.connects.size(), 1u);
  EXPECT_EQ(agent.connects[0], std::make_pair(4, 38400));
  EXPECT_FALSE(window->connectAction()->isEnabled());
  EXPECT_TRUE(window->disconnectAction()->isEnabled());
  EXPECT_EQ(window->modemPane()->text(), QStringLiteral("短信猫正在连接..."));

  agent.ready = true;
  window->ReceiveTick();  // the first ready status takes the service's port and rate
  EXPECT_EQ(window->modemPane()->text(), QStringLiteral("短信猫已连接"));
  EXPECT_EQ(settings.port, 6);

  window->commSettingsAction()->trigger();  // connected: only the hint
  EXPECT_EQ(boxes.shown, std::vector<std::string>{"请断开重新连接以使设置生效"});
  EXPECT_EQ(agent.connects.size(), 1u);

  window->disconnectAction()->trigger();
  EXPECT_EQ(window->modemPane()->text(), QStringLiteral("短信猫未连接"));
  EXPECT_TRUE(window->connectAction()->isEnabled());
}

}  // namespace
