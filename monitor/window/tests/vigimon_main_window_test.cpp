// The monitor's window over its logic, on the offscreen platform, with the
// terminal information server out of reach: the status bar, the tray menu,
// the filters and the poll timer after "系统参数".
#include "monitor/window/vigimon_main_window.h"

#include <filesystem>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <gtest/gtest.h>

#include "monitor/app/monitor_adapters.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/clock/manual_clock.h"
#include "platform/com/apartment.h"
#include "platform/ui/recording_message_box.h"
#include "tests/e2e/support/child_process.h"

namespace {

namespace fs = std::filesystem;

struct Dialogs : MonitorDialogs {
  bool RunSystemSettings(MonitorSettings& settings) override {
    settings.pollInterval = 40;
    return true;
  }
  bool RunPhoneNumbers(MonitorSettings&, ServerAreaSource&) override { return false; }
};

struct NoAreas : ServerAreaSource {
  std::optional<std::vector<ServerArea>> ReadAreas() override { return std::nullopt; }
};

struct Outbox : AlertSender {
  bool QueueSend(const char*, const char*, const char*, uint8_t) override { return true; }
};

TEST(MonitorMainWindow, StatusTrayMenuAndPollTimerWithTheServerOutOfReach) {
  // A port that was free a moment ago: nobody serves the platform there.
  setenv("QUILLON_INFO_PORT", std::to_string(FreeLoopbackPort()).c_str(), 1);
  com::CoInitialize();
  broadcast_components::RegisterBroadcastComponents();
  fs::path dir = fs::temp_directory_path() / ("vigimon-main-window-" + std::to_string(getpid()));
  fs::create_directories(dir);
  RecordingMessageBox boxes;
  {
    MonitorSettings settings;
    settings.iniPath = (dir / "Vigimon.ini").string();
    settings.pollInterval = 15;
    ManualClock clock{1000};
    TerminalAcquisition acquisition(settings, clock);
    AcquisitionLookup lookup(acquisition);
    TerminalListView list(TerminalSnapshot::Of(acquisition), settings);
    Outbox outbox;
    ReportClock reportClock{[] {}};
    VigimonWindowLogic logic(settings, acquisition, list, nullptr, lookup, outbox, reportClock, boxes);
    Dialogs dialogs;
    NoAreas areas;
    VigimonMainWindow window(logic, list, settings, dialogs, areas, [] {});
    window.Start();

    EXPECT_EQ(window.statusPart(0)->text(), QStringLiteral("短信猫未连接"));
    EXPECT_EQ(window.statusPart(1)->text(), QStringLiteral("系统连接错误"));
    EXPECT_EQ(window.statusPart(2)->text(), QStringLiteral("离线终端数量： "));
    EXPECT_FALSE(window.trayShowsGood());
    EXPECT_EQ(window.tray()->toolTip(), QStringLiteral("终端故障监控"));
    EXPECT_EQ(window.pollTimer().interval(), 15000);
    EXPECT_TRUE(boxes.shown.empty());  // only "刷新" complains

    QStringList commands;
    for (QAction* action : window.trayMenu()->actions()) commands << action->text();
    EXPECT_EQ(commands, (QStringList{"显示主窗口", "最小化", "退出"}));
    window.trayMenu()->actions().at(0)->trigger();  // 显示主窗口
    EXPECT_TRUE(window.isVisible());
    window.trayMenu()->actions().at(1)->trigger();  // 最小化, with no tray to come back from
    EXPECT_TRUE(window.isVisible());

    EXPECT_EQ(window.stateCombo()->count(), 4);
    EXPECT_EQ(window.areaCombo()->itemText(0), QStringLiteral("所有"));
    window.stateCombo()->setCurrentIndex(STATE_FAULT);
    EXPECT_EQ(list.stateFilter(), STATE_FAULT);

    window.systemSettingsAction()->trigger();
    EXPECT_EQ(window.pollTimer().interval(), 40000);
    EXPECT_TRUE(window.pollTimer().isActive());

    boxes.shown.clear();
    boxes.okCancelReply = ui::IDCANCEL;  // the operator thinks better of it: monitoring goes on
    window.trayMenu()->actions().at(2)->trigger();
    EXPECT_TRUE(window.pollTimer().isActive());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "退出后将停止监控终端状态，确定要退出吗？");
    boxes.okCancelReply = ui::IDOK;
    window.trayMenu()->actions().at(2)->trigger();  // 退出: stops the poll and saves the settings
    EXPECT_FALSE(window.pollTimer().isActive());
    EXPECT_TRUE(fs::exists(settings.iniPath));
  }
  com::CoUninitialize();
  fs::remove_all(dir);
}

}  // namespace
