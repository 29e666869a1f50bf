// The monitor window's commands without a display, with the terminal
// information server out of reach.
#include "monitor/view/vigimon_window_logic.h"

#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

#include "monitor/app/monitor_adapters.h"
#include "monitor/view/tray_clicks.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/clock/manual_clock.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "platform/ui/message_box.h"
#include "tests/e2e/support/child_process.h"

namespace {

namespace fs = std::filesystem;

struct Agent : ModemAgentControl {
  bool requested = false, ready = false;
  bool ConnectRequested() const override { return requested; }
  bool ModemReady() const override { return ready; }
  void GetModemSettings(int& port, int& rate) override { port = 7, rate = 115200; }
  void Connect(int, int, const std::string&) override { requested = true; }
  void Disconnect() override { requested = false; }
};

struct Outbox : AlertSender {
  int sent = 0;
  bool QueueSend(const char*, const char*, const char*, uint8_t) override { return ++sent, true; }
};

struct Boxes : ui::MessageBoxPort {
  std::vector<std::string> texts, captions;
  std::vector<ui::MessageIcon> icons;
  int Show(const std::string& text, const std::string& caption, ui::MessageIcon icon, int) override {
    texts.push_back(codepage::GbkToUtf8(text));
    captions.push_back(codepage::GbkToUtf8(caption));
    icons.push_back(icon);
    return ui::IDOK;
  }
};

class MonitorWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    // A port that was free a moment ago: nobody serves the platform there.
    setenv("QUILLON_INFO_PORT", std::to_string(FreeLoopbackPort()).c_str(), 1);
    com::CoInitialize();
    broadcast_components::RegisterBroadcastComponents();
    dir = fs::temp_directory_path() / ("vigimon-window-" + std::to_string(getpid()));
    fs::create_directories(dir);
    settings.iniPath = (dir / "Vigimon.ini").string();
    settings.pollInterval = 15;
  }
  void TearDown() override {
    logic.reset();
    list.reset();
    lookup.reset();
    acquisition.reset();
    com::CoUninitialize();
    fs::remove_all(dir);
  }
  VigimonWindowLogic& Make(ModemAgentControl* withAgent) {
    acquisition = std::make_unique<TerminalAcquisition>(settings, clock);
    lookup = std::make_unique<AcquisitionLookup>(*acquisition);
    list = std::make_unique<TerminalListView>(TerminalSnapshot::Of(*acquisition), settings);
    logic = std::make_unique<VigimonWindowLogic>(settings, *acquisition, *list, withAgent, *lookup, outbox, reportClock,
                                                 boxes);
    return *logic;
  }
  std::string Text(int part) { return codepage::GbkToUtf8(logic->status().texts[part]); }

  fs::path dir;
  MonitorSettings settings;
  ManualClock clock{1000};
  Agent agent;
  Outbox outbox;
  Boxes boxes;
  ReportClock reportClock{[] {}};
  std::unique_ptr<TerminalAcquisition> acquisition;
  std::unique_ptr<AcquisitionLookup> lookup;
  std::unique_ptr<TerminalListView> list;
  std::unique_ptr<VigimonWindowLogic> logic;
};

TEST_F(MonitorWindow, UnreachableServerShowsInTheStatusAndOnlyRefreshComplains) {
  VigimonWindowLogic& window = Make(&agent);
  EXPECT_FALSE(window.StartUp());
  EXPECT_EQ(Text(0), "短信猫未连接");
  EXPECT_EQ(Text(1), "系统连接错误");
  EXPECT_EQ(Text(2), "离线终端数量： ");
  EXPECT_FALSE(window.status().systemGood);
  EXPECT_FALSE(window.status().trayGood);
  EXPECT_FALSE(window.Poll());
  EXPECT_TRUE(boxes.texts.empty());  // a poll fails quietly

  EXPECT_FALSE(window.Refresh());
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], "连接服务器失败！请检查服务器后重试！");
  EXPECT_EQ(boxes.captions[0], "刷新");
  EXPECT_EQ(boxes.icons[0], ui::MessageIcon::Error);
  EXPECT_EQ(outbox.sent, 0);
}

TEST_F(MonitorWindow, ModemCommandsAndTheTrayFollowTheAgent) {
  VigimonWindowLogic& window = Make(&agent);
  window.StartUp();
  EXPECT_TRUE(window.CanConnect());
  EXPECT_FALSE(window.CanDisconnect());
  window.Connect();
  EXPECT_EQ(Text(0), "短信猫正在连接...");
  EXPECT_TRUE(window.CanDisconnect());
  agent.ready = true;
  window.UpdateStatus();  // the first ready status takes the service's port and rate, and saves them
  EXPECT_EQ(Text(0), "短信猫已连接");
  EXPECT_TRUE(window.status().modemGood);
  EXPECT_FALSE(window.status().trayGood);  // the platform is still out of reach
  EXPECT_EQ(settings.comPort, 7);
  EXPECT_TRUE(fs::exists(settings.iniPath));
  window.Disconnect();
  EXPECT_EQ(Text(0), "短信猫未连接");
  EXPECT_FALSE(window.status().modemGood);

  VigimonWindowLogic& noAgent = Make(nullptr);
  EXPECT_TRUE(noAgent.CanConnect());  // enabled, as the system always had it; it does nothing
  EXPECT_FALSE(noAgent.CanDisconnect());
  noAgent.Connect();
  EXPECT_EQ(Text(0), "短信猫未连接");
}

TEST_F(MonitorWindow, SystemSettingsRestartThePollWithTheNewInterval) {
  VigimonWindowLogic& window = Make(&agent);
  EXPECT_EQ(window.PollPeriodMs(), 15000);
  settings.pollInterval = 40;
  EXPECT_EQ(window.SystemSettingsConfirmed(), 40000);
}

TEST(TrayIconClicks, OneClickTogglesAndADoubleClickIsOneGestureNotTwo) {
  using std::chrono::milliseconds;
  TrayClicks clicks(milliseconds(400));
  TrayClicks::TimePoint t{};
  EXPECT_TRUE(clicks.Toggles(TrayClicks::Click::Single, t));
  EXPECT_FALSE(clicks.Toggles(TrayClicks::Click::Double, t + milliseconds(300)));  // its second press
  EXPECT_TRUE(clicks.Toggles(TrayClicks::Click::Double, t + milliseconds(2000)));  // a host that sends only this
  EXPECT_TRUE(clicks.Toggles(TrayClicks::Click::Single, t + milliseconds(3000)));
  EXPECT_TRUE(clicks.Toggles(TrayClicks::Click::Double, t + milliseconds(3500)));  // too late to be the same
  EXPECT_FALSE(clicks.Toggles(TrayClicks::Click::Other, t + milliseconds(4000)));  // the context menu's press
}

}  // namespace
