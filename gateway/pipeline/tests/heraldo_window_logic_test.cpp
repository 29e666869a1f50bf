// The window's commands as the operator meets them, without a display.
#include "gateway/pipeline/heraldo_window_logic.h"

#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "gateway/broadcast_server_settings.h"
#include "platform/clock/manual_clock.h"
#include "platform/codepage/codepage.h"
#include "platform/profile/profile.h"
#include "platform/ui/message_box.h"

namespace {

namespace fs = std::filesystem;

struct FakeAgent : ModemAgentControl {
  bool requested = false;
  bool ready = false;
  int confirmedPort = 0, confirmedRate = 0;
  std::vector<std::pair<int, int>> connects;
  bool ConnectRequested() const override { return requested; }
  bool ModemReady() const override { return ready; }
  void GetModemSettings(int& port, int& rate) override {
    port = confirmedPort;
    rate = confirmedRate;
  }
  void Connect(int port, int rate, const std::string& host) override {
    EXPECT_EQ(host, "127.0.0.1");
    connects.emplace_back(port, rate);
    requested = true;
  }
  void Disconnect() override { requested = false; }
};

struct FakeDialogs : GatewayDialogs {
  std::optional<CommSettingsValues> comm;
  std::optional<AuthorisationValues> authorisation;
  std::optional<CleanupValues> cleanup;
  CommSettingsValues shownComm;
  CleanupValues shownCleanup;
  std::optional<CommSettingsValues> AskCommSettings(const CommSettingsValues& current) override {
    shownComm = current;
    return comm;
  }
  std::optional<AuthorisationValues> AskAuthorisation(const AuthorisationValues&) override { return authorisation; }
  std::optional<CleanupValues> AskCleanup(const CleanupValues& current) override {
    shownCleanup = current;
    return cleanup;
  }
};

struct NoMessages : ReceivedMessages {
  bool PopReceived(std::string&, std::string&, std::string&) override { return false; }
};
struct NoBroadcast : BroadcastPort {
  std::vector<int> AllTerminalIds() override { return {}; }
  int CreateSession(const std::vector<int>&, const std::vector<PlayItem>&, const std::string&) override { return -1; }
  std::optional<bool> SessionFinished(int) override { return std::nullopt; }
};
struct NoAudio : AudioMaker {
  SpeechResult Text2Wav(const std::string&, const std::string&) override { return {1}; }
  void Wav2Mp3(const std::string&) override {}
};
struct NoText : TextBroadcastDialog {
  std::optional<TextBroadcastRequest> Ask(const PatTable&) override { return std::nullopt; }
};

struct RecordingBox : ui::MessageBoxPort {
  std::vector<std::string> texts, captions;
  std::vector<ui::MessageIcon> icons;
  int Show(const std::string& text, const std::string& caption, ui::MessageIcon icon, int) override {
    texts.push_back(codepage::GbkToUtf8(text));
    captions.push_back(caption);
    icons.push_back(icon);
    return ui::IDOK;
  }
};

class WindowCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("heraldo-window-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    settingsPath = (dir / "SMS.ini").string();
    serverPath = (dir / "SMServer.ini").string();
    view.emplace(settings, settingsPath, dir.string(), PipelinePorts{&messages, &broadcast, &audio, &text, &clock});
    logic.emplace(settings, settingsPath, serverPath, server, *view, &agent, dialogs, box);
  }
  void TearDown() override { fs::remove_all(dir); }
  GatewaySettings Saved() {
    GatewaySettings saved;
    LoadGatewaySettings(settingsPath, saved);
    return saved;
  }
  void AddRow(std::optional<int32_t> state) {
    MessageRow row;
    row.columns[COL_NUMBER] = "13900000001";
    if (state) row.item = MessageItem{*state, -1, *state > TEXT_STATE_OFFSET};
    view->rows().Append(row);
  }

  fs::path dir;
  std::string settingsPath, serverPath;
  GatewaySettings settings;
  BroadcastServerSettings server;
  NoMessages messages;
  NoBroadcast broadcast;
  NoAudio audio;
  NoText text;
  ManualClock clock{1765000000};
  FakeAgent agent;
  FakeDialogs dialogs;
  RecordingBox box;
  std::optional<HeraldoViewLogic> view;
  std::optional<HeraldoWindowLogic> logic;
};

TEST_F(WindowCommands, CommSettingsWhileShownConnectedSaveAndOnlyHint) {
  agent.requested = agent.ready = true;
  agent.confirmedPort = 3;
  agent.confirmedRate = 19200;
  logic->UpdateModemStatus();
  dialogs.comm = CommSettingsValues{"COM5", "9600", "10.0.0.9", 3};
  logic->CommSettings();

  EXPECT_EQ(dialogs.shownComm.port, "COM3");
  EXPECT_EQ(dialogs.shownComm.rate, "19200");
  GatewaySettings saved = Saved();
  EXPECT_EQ(saved.port, 5);
  EXPECT_EQ(saved.rate, 9600);
  EXPECT_EQ(saved.delay, 3);
  EXPECT_EQ(profile::GetPrivateProfileString("Config", "ZarnSvrAddr", "", 64, serverPath), "10.0.0.9");
  EXPECT_EQ(server.serverAddress, "10.0.0.9");
  ASSERT_EQ(box.texts, std::vector<std::string>{"请断开重新连接以使设置生效"});
  EXPECT_EQ(box.captions[0], "Heraldo");
  EXPECT_EQ(box.icons[0], ui::MessageIcon::None);
  EXPECT_TRUE(agent.connects.empty());
}

TEST_F(WindowCommands, CommSettingsWhileNotConnectedConnectWithTheNewValues) {
  dialogs.comm = CommSettingsValues{"COM8", "115200", "127.0.0.1", 0};
  logic->CommSettings();
  ASSERT_EQ(agent.connects.size(), 1u);
  EXPECT_EQ(agent.connects[0], std::make_pair(8, 115200));
  EXPECT_TRUE(box.texts.empty());
  EXPECT_EQ(codepage::GbkToUtf8(logic->StatusText()), "短信猫正在连接...");

  agent.connects.clear();
  dialogs.comm.reset();  // cancelled: nothing changes, nothing connects
  logic->CommSettings();
  EXPECT_TRUE(agent.connects.empty());
  EXPECT_EQ(Saved().rate, 115200);
}

TEST_F(WindowCommands, FirstReadyStatusSavesTheConfirmedPortAndRateOnce) {
  agent.requested = true;
  EXPECT_EQ(codepage::GbkToUtf8(logic->UpdateModemStatus()), "短信猫正在连接...");
  EXPECT_FALSE(fs::exists(settingsPath));
  agent.ready = true;
  agent.confirmedPort = 4;
  agent.confirmedRate = 57600;
  EXPECT_EQ(codepage::GbkToUtf8(logic->UpdateModemStatus()), "短信猫已连接");
  EXPECT_EQ(Saved().port, 4);
  EXPECT_EQ(Saved().rate, 57600);

  agent.confirmedPort = 6;  // while it stays ready, nothing is read or written again
  fs::remove(settingsPath);
  logic->UpdateModemStatus();
  EXPECT_FALSE(fs::exists(settingsPath));
  EXPECT_EQ(settings.port, 4);
}

TEST_F(WindowCommands, ConnectAndDisconnectAreEnabledByTheRequest) {
  EXPECT_TRUE(logic->CanConnect());
  EXPECT_FALSE(logic->CanDisconnect());
  logic->Connect();
  EXPECT_FALSE(logic->CanConnect());
  EXPECT_TRUE(logic->CanDisconnect());
  logic->Disconnect();
  EXPECT_TRUE(logic->CanConnect());
  EXPECT_EQ(codepage::GbkToUtf8(logic->StatusText()), "短信猫未连接");

  HeraldoWindowLogic noAgent(settings, settingsPath, serverPath, server, *view, nullptr, dialogs, box);
  EXPECT_FALSE(noAgent.CanConnect());
  EXPECT_FALSE(noAgent.CanDisconnect());
  noAgent.Connect();  // nothing to ask: the status stays idle
  EXPECT_EQ(codepage::GbkToUtf8(noAgent.StatusText()), "短信猫未连接");
}

TEST_F(WindowCommands, ContextMenuFollowsTheClickedRow) {
  AddRow(std::nullopt);  // unauthorised
  for (int32_t state = SMS_PLAYING; state <= TEXT_FAILED; ++state) AddRow(state);

  EXPECT_FALSE(logic->ContextMenuFor(0).shown);
  auto below = logic->ContextMenuFor(std::nullopt);
  EXPECT_TRUE(below.shown);
  EXPECT_FALSE(below.replayEnabled);
  for (int32_t state = SMS_PLAYING; state <= TEXT_FAILED; ++state) {
    auto menu = logic->ContextMenuFor(static_cast<size_t>(state));
    EXPECT_TRUE(menu.shown) << state;
    EXPECT_EQ(menu.replayEnabled, state != SMS_PLAYING && state != SMS_WAITING) << state;
  }
}

TEST_F(WindowCommands, AuthorisationAndCleanupSettingsAreSaved) {
  dialogs.authorisation = AuthorisationValues{{{"13900000001", "3,7"}, {"13900000002", "1"}}, 0};
  logic->AuthorisationSettings();
  GatewaySettings saved = Saved();
  EXPECT_EQ(saved.pat, dialogs.authorisation->table);
  EXPECT_EQ(saved.phoneCount, 2);
  EXPECT_EQ(saved.regular, 0);

  settings.lastClearTime = "2026-12-01 08:00:00";
  dialogs.cleanup = CleanupValues{"", 7, 30};
  logic->CleanupSettings();
  EXPECT_EQ(dialogs.shownCleanup.lastClearTime, "2026-12-01 08:00:00\n");
  EXPECT_EQ(Saved().interDay, 7u);
  EXPECT_EQ(Saved().deadLineDay, 30u);
}

}  // namespace
