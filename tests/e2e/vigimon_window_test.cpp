// The windowed monitor against the simulated installation, driven as an
// operator drives it: "连接", terminals going offline at the platform, the
// alert SMS at the modem, and "导出终端及故障表", whose workbook must read
// back the same as the one `Vigimon --export` writes.
#include <cstdio>
#include <memory>
#include <string>

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "monitor/app/monitor_window_app.h"
#include "monitor/export/terminal_export.h"
#include "platform/codepage/codepage.h"
#include "platform/ui/recording_message_box.h"
#include "tests/e2e/support/child_process.h"
#include "tests/e2e/support/monitor_installation.h"

namespace {

namespace fs = std::filesystem;

// xlrd's cell types
constexpr int kText = 1;
constexpr int kNumber = 2;

struct NoDialogs : MonitorDialogs {
  bool RunSystemSettings(MonitorSettings&) override { return false; }
  bool RunPhoneNumbers(MonitorSettings&, ServerAreaSource&) override { return false; }
};

struct NoAreas : ServerAreaSource {
  std::optional<std::vector<ServerArea>> ReadAreas() override { return std::nullopt; }
};

MonitorSettings InstallationSettings() {
  MonitorSettings settings;
  settings.baudRate = 19200;
  settings.smsCentre = "8613800100500";
  settings.pollInterval = 10;
  settings.offlinePercent = 50;
  settings.areas[TOTAL_AREA_ID] = {
      codepage::Utf8ToGbk("大面积离线"), UNJUDGED_BASELINE, {{codepage::Utf8ToGbk("值班长"), "13900000001"}}};
  for (int area = 1; area <= 3; ++area)
    settings.areas[area] = {codepage::Utf8ToGbk("区域" + std::to_string(area)), UNJUDGED_BASELINE, {}};
  return settings;
}

// The address field and user data of a submit PDU, as they appear in its hex.
std::string SwappedNumber(std::string digits) {
  if (digits.size() % 2) digits += 'F';
  for (size_t i = 0; i < digits.size(); i += 2) std::swap(digits[i], digits[i + 1]);
  return digits;
}
std::string Ucs2Hex(const std::string& utf8) {
  std::string hex;
  char unit[5];
  for (char16_t c : codepage::Utf8ToUtf16(utf8)) {
    std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(c));
    hex += unit;
  }
  return hex;
}
std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Output(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
  pclose(pipe);
  return output;
}

// The workbook as xlrd reads it: each sheet's name and its cells' types and values.
nlohmann::json ReadBack(const fs::path& workbook) {
  std::string reader = std::string(std::getenv("QUILLON_SOURCE_DIR")) + "/tests/e2e/xls_cells.py";
  std::string output = Output("/usr/bin/python3 " + reader + " '" + workbook.string() + "'");
  return nlohmann::json::parse(output, nullptr, false);
}

class WindowedMonitor : public ::testing::Test {
 protected:
  void SetUp() override {
    installation = std::make_unique<MonitorInstallation>(InstallationSettings());
    std::string error;
    app = MonitorWindowApp::Start(
        MonitorSettings::Instance(), boxes, dialogs, areas,
        [this](QWidget*, const TerminalAcquisition& acquisition) {
          ExportTerminalTableTo(acquisition, (installation->home() / "window.xls").u16string(), boxes);
        },
        error);
    ASSERT_TRUE(app) << error;
    window().Start();  // no tray on this platform: the window shows itself
  }
  void TearDown() override {
    app.reset();
    installation.reset();
  }

  VigimonMainWindow& window() { return app->window(); }
  QString Status(int part) { return window().statusPart(part)->text(); }
  bool WaitForStatus(int part, const QString& text, int ms) {
    return QTest::qWaitFor([&] { return Status(part) == text; }, ms);
  }
  nlohmann::json Sent() { return installation->quillon().sim().Call({{"cmd", "sent"}})["sent"]; }

  RecordingMessageBox boxes;
  NoDialogs dialogs;
  NoAreas areas;
  std::unique_ptr<MonitorInstallation> installation;
  std::unique_ptr<MonitorWindowApp> app;
};

TEST_F(WindowedMonitor, OperatorConnectsSeesTerminalsGoOfflineAndExportsThatState) {
  EXPECT_TRUE(window().isVisible());
  EXPECT_EQ(Status(0), QStringLiteral("短信猫未连接"));
  EXPECT_EQ(Status(2), QStringLiteral("离线终端数量：0"));
  EXPECT_EQ(window().list()->model()->rowCount(), 100);
  EXPECT_FALSE(window().trayShowsGood());  // the modem is not connected yet

  ASSERT_TRUE(window().connectAction()->isEnabled());
  window().connectAction()->trigger();
  ASSERT_TRUE(WaitForStatus(0, QStringLiteral("短信猫已连接"), 30000)) << Status(0).toStdString();
  EXPECT_FALSE(window().connectAction()->isEnabled());
  EXPECT_TRUE(window().disconnectAction()->isEnabled());
  EXPECT_TRUE(window().trayShowsGood());

  // Sixty terminals go down; the next poll shows it everywhere.
  for (int terminal = 1; terminal <= 60; ++terminal)
    installation->bcsim().Call({{"cmd", "set_terminal"}, {"id", terminal}, {"online", false}});
  ASSERT_TRUE(WaitForStatus(2, QStringLiteral("离线终端数量：60"), 30000)) << Status(2).toStdString();
  EXPECT_TRUE(window().trayShowsGood());  // the tray tells of the modem and the server, not of terminals
  window().stateCombo()->setCurrentIndex(STATE_OFFLINE);
  EXPECT_EQ(window().list()->model()->rowCount(), 60);
  EXPECT_EQ(window().list()->model()->index(0, COL_ONLINE).data().toString(), QStringLiteral("离线"));
  window().stateCombo()->setCurrentIndex(STATE_ONLINE);
  EXPECT_EQ(window().list()->model()->rowCount(), 40);

  // The installation's alert reaches the modem, to the duty manager, in UCS2.
  std::string alert = Ucs2Hex("已有60个终端离线，占总数的60%，具体终端列表可联系系统管理员查询。");
  std::string manager = SwappedNumber("8613900000001");
  bool alerted = QTest::qWaitFor(
      [&] {
        for (const auto& sent : Sent()) {
          std::string pdu = Upper(sent["pdu"].get<std::string>());
          if (pdu.find(manager) != std::string::npos && pdu.find(alert) != std::string::npos) return true;
        }
        return false;
      },
      30000);
  EXPECT_TRUE(alerted) << Sent().dump();

  // The menu's export and the command line's read back the same.
  window().exportAction()->trigger();
  fs::path fromWindow = installation->home() / "window.xls";
  ASSERT_EQ(boxes.TakeTexts(), std::vector<std::string>{"导出到文件 " + fromWindow.string() + " 成功！"});
  nlohmann::json shown = ReadBack(fromWindow);
  ASSERT_TRUE(shown.is_array() && shown.size() == 1) << shown.dump();
  EXPECT_EQ(shown[0]["name"], "终端及故障对照表");
  ASSERT_EQ(shown[0]["rows"].size(), 101u);
  for (int terminal = 1; terminal <= 100; ++terminal) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d", terminal);
    EXPECT_EQ(shown[0]["rows"][terminal][0], nlohmann::json({kNumber, terminal}));
    EXPECT_EQ(shown[0]["rows"][terminal][1], nlohmann::json({kText, std::string("终端") + name}));
  }

  fs::path fromCommand = installation->home() / "command.xls";
  std::string printed = Output(BinDir() + "/Vigimon --export '" + fromCommand.string() + "'");
  EXPECT_EQ(printed, "导出到文件 " + fromCommand.string() + " 成功！\n");
  EXPECT_EQ(ReadBack(fromCommand), shown);

  // The platform drops area 1 while it is out of reach; the report's reload
  // reads the areas anew, and the selector above the list says which area
  // the list now shows.
  window().stateCombo()->setCurrentIndex(STATE_ALL);
  window().areaCombo()->setCurrentIndex(2);
  EXPECT_EQ(window().list()->model()->rowCount(), 33);
  installation->bcsim().Call({{"cmd", "info_down"}});
  ASSERT_TRUE(WaitForStatus(1, QStringLiteral("系统连接错误"), 30000)) << Status(1).toStdString();
  installation->bcsim().Call({{"cmd", "remove_area"}, {"id", 1}});
  installation->bcsim().Call({{"cmd", "info_up"}});
  window().ReportDue();
  EXPECT_EQ(Status(1), QStringLiteral("系统连接正常"));
  ASSERT_EQ(window().areaCombo()->count(), 3);
  EXPECT_EQ(window().areaCombo()->currentText(), QStringLiteral("区域3"));
  EXPECT_EQ(window().list()->model()->rowCount(), 34);

  window().disconnectAction()->trigger();
  EXPECT_EQ(Status(0), QStringLiteral("短信猫未连接"));
  EXPECT_FALSE(window().trayShowsGood());
  EXPECT_TRUE(window().connectAction()->isEnabled());
}

}  // namespace
