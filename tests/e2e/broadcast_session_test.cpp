// Broadcast sessions end to end: the session manager, the component
// stand-ins and bcsim, over real sockets. The sound plays twenty times
// faster than real time.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "gateway/broadcast/session_mgr.h"
#include "gateway/broadcast_server_settings.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/codepage/codepage.h"
#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/ui/message_box.h"
#include "tests/e2e/support/bc_sim.h"
#include "tests/e2e/support/modem_sim.h"

namespace {

namespace fs = std::filesystem;

struct RecordingMessageBox : ui::MessageBoxPort {
  std::vector<std::string> shown;
  int Show(const std::string& text, const std::string&, ui::MessageIcon, int) override {
    shown.push_back(codepage::GbkToUtf8(text));
    return ui::IDOK;
  }
};

class BroadcastSessions : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("QUILLON_PLAYBACK_SPEED", "20", 1);
    media = fs::temp_directory_path() / ("sessions-" + std::to_string(getpid()));
    fs::create_directories(media);
    for (const char* name : {"a", "b", "c"}) {
      std::string wav = (media / (std::string(name) + ".wav")).string();
      std::string mp3 = (media / (std::string(name) + ".mp3")).string();
      std::string make =
          "sox -n -r 44100 -c 2 " + wav + " synth 1 sine 440 2>/dev/null && lame --quiet -b 128 " + wav + " " + mp3;
      ASSERT_EQ(std::system(make.c_str()), 0);
    }
    std::ofstream(media / "broken.mp3") << "not audio at all";
  }
  static void TearDownTestSuite() { fs::remove_all(media); }

  void SetUp() override {
    sim = std::make_unique<BcSim>(nlohmann::json{{"generate", {{"terminals", 6}, {"areas", 2}}}}, 15001);
    sim->Call({{"cmd", "framing"}, {"quiet_ms", 5}});
    server.serverAddress = "127.0.0.1";
    server.cmdPort = sim->cmdPort();
    SessionMgr::Instance().UseEnvironment({server, messages});
    setenv("QUILLON_INFO_PORT", std::to_string(sim->infoPort()).c_str(), 1);
    com::CoInitialize();
    broadcast_components::RegisterBroadcastComponents();
  }
  void TearDown() override {
    SessionMgr::Instance().RemoveAll();
    SessionMgr::Instance().ProcessFinished();
    com::CoUninitialize();
  }

  static std::vector<PlayItem> Files(std::initializer_list<const char*> names) {
    std::vector<PlayItem> items;
    for (const char* name : names) items.push_back({name, (media / name).string()});
    return items;
  }
  // Runs the thread's event loop until the session has played its list.
  bool PlayToTheEnd(int number, double seconds = 10) {
    return com::Apartment::Current()->RunUntil(
        [&] {
          Session* session = SessionMgr::Instance().FindSession(number);
          return session && session->finished;
        },
        std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
  }
  std::vector<std::string> ReceivedFiles(int number) {
    std::vector<std::string> files;
    nlohmann::json session = sim->Session(number);
    for (const auto& file : session["received"]["files"])
      files.push_back(file["path"].is_string() ? fs::path(file["path"].get<std::string>()).filename().string() : "");
    return files;
  }

  static inline fs::path media;
  std::unique_ptr<BcSim> sim;
  RecordingMessageBox messages;
  BroadcastServerSettings server;
};

TEST_F(BroadcastSessions, APlayListReachesTheServerInOrderAndTheSessionGoesAfterItsLastFile) {
  auto& manager = SessionMgr::Instance();
  int number = manager.CreateSession({1, 2, 3}, Files({"a.mp3", "b.mp3", "c.mp3"}), "drill");
  ASSERT_EQ(number, 1);
  EXPECT_EQ(sim->Session(1)["state"], "started");
  EXPECT_EQ(sim->Session(1)["terminals"], nlohmann::json({1, 2, 3}));
  ASSERT_TRUE(PlayToTheEnd(number));
  EXPECT_EQ(manager.FinishedQueue(), std::deque<int>{1});
  manager.ProcessFinished();
  EXPECT_EQ(manager.FindSession(1), nullptr);
  EXPECT_TRUE(manager.ActiveNumbers().empty());

  auto session = sim->Session(1);
  EXPECT_EQ(session["state"], "removed");
  EXPECT_EQ(ReceivedFiles(1), (std::vector<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
  for (const auto& file : session["received"]["files"]) {
    EXPECT_GT(file["frames"].get<int>(), 30);  // about a second of 26 ms frames each
    EXPECT_EQ(file["unsynced"], 0);
    EXPECT_TRUE(file["ended"].get<bool>());
  }
  EXPECT_NEAR(session["received"]["duration_us"].get<double>(), 3.0e6, 0.2e6);
}

TEST_F(BroadcastSessions, AnUnplayableFileInTheMiddleIsSkipped) {
  int number = SessionMgr::Instance().CreateSession({1}, Files({"a.mp3", "broken.mp3", "c.mp3"}), "skip");
  ASSERT_GT(number, 0);
  ASSERT_TRUE(PlayToTheEnd(number));
  EXPECT_EQ(ReceivedFiles(number), (std::vector<std::string>{"a.mp3", "c.mp3"}));
}

TEST_F(BroadcastSessions, AnUnplayableFirstFileRemovesTheServerSession) {
  EXPECT_EQ(SessionMgr::Instance().CreateSession({1}, Files({"broken.mp3", "a.mp3"}), "bad"), -1);
  EXPECT_EQ(SessionMgr::Instance().SessionCount(), 0u);
  auto commands = sim->Commands();
  EXPECT_NE(std::find(commands.begin(), commands.end(), "session set 1\tSTAT=0"), commands.end());
  EXPECT_NE(std::find(commands.begin(), commands.end(), "session rm 1"), commands.end());
  EXPECT_EQ(sim->Session(1)["state"], "removed");
}

TEST_F(BroadcastSessions, ProcessFinishedSkipsMinusOneAndRemovesTheRest) {
  auto& manager = SessionMgr::Instance();
  for (int i = 1; i <= 12; ++i) ASSERT_EQ(manager.CreateSession({1}, Files({"a.mp3"}), "s"), i);
  manager.MarkFinished(-1);
  manager.MarkFinished(12);
  manager.ProcessFinished();
  EXPECT_TRUE(manager.FinishedQueue().empty());
  EXPECT_EQ(manager.FindSession(12), nullptr);
  EXPECT_NE(manager.FindSession(11), nullptr);
  EXPECT_EQ(manager.ActiveNumbers().size(), 11u);
  EXPECT_EQ(sim->Session(12)["state"], "removed");
  EXPECT_EQ(sim->Session(11)["state"], "started");
}

// A restarted server gives out numbers the gateway still holds: one session
// still playing, one played to its end and not yet removed. The new sessions
// own those numbers from then on.
TEST_F(BroadcastSessions, ANumberTheServerGivesOutAgainBelongsToTheNewSession) {
  auto& manager = SessionMgr::Instance();
  std::vector<PlayItem> longList(40, PlayItem{"a.mp3", (media / "a.mp3").string()});
  ASSERT_EQ(manager.CreateSession({1}, longList, "playing"), 1);
  ASSERT_EQ(manager.CreateSession({2}, Files({"a.mp3"}), "played"), 2);
  ASSERT_TRUE(PlayToTheEnd(2));
  ASSERT_EQ(manager.FinishedQueue(), std::deque<int>{2});
  sim->Call({{"cmd", "restart_numbering"}});
  sim->Call({{"cmd", "log"}, {"clear", true}});

  ASSERT_EQ(manager.CreateSession({3}, Files({"b.mp3", "c.mp3"}), "new one"), 1);
  ASSERT_EQ(manager.CreateSession({4}, Files({"c.mp3"}), "new two"), 2);
  manager.ProcessFinished();  // what the old session 2 had queued is not for the new one
  for (const auto& command : sim->Commands()) {
    EXPECT_EQ(command.find("session rm"), std::string::npos) << command;
    EXPECT_EQ(command.find("STAT=0"), std::string::npos) << command;
  }
  ASSERT_TRUE(PlayToTheEnd(1));
  ASSERT_TRUE(PlayToTheEnd(2));
  EXPECT_EQ(sim->Session(1)["state"], "started");
  EXPECT_EQ(sim->Session(2)["state"], "started");
  // Audio the old sessions sent until the new ones took their numbers comes
  // first; from each new session's first file on, only its own files come.
  auto filesFrom = [&](int number, const std::string& first) {
    std::vector<std::string> files = ReceivedFiles(number);
    return std::vector<std::string>(std::find(files.begin(), files.end(), first), files.end());
  };
  EXPECT_EQ(filesFrom(1, "b.mp3"), (std::vector<std::string>{"b.mp3", "c.mp3"}));
  EXPECT_EQ(filesFrom(2, "c.mp3"), std::vector<std::string>{"c.mp3"});
  std::vector<int> active = manager.ActiveNumbers();  // earlier tests' numbers stay there too
  EXPECT_EQ(std::count(active.begin(), active.end(), 1), 1);
  EXPECT_EQ(std::count(active.begin(), active.end(), 2), 1);

  manager.ProcessFinished();
  EXPECT_EQ(sim->Session(1)["state"], "removed");
  EXPECT_EQ(sim->Session(2)["state"], "removed");
  EXPECT_EQ(manager.SessionCount(), 0u);
}

TEST_F(BroadcastSessions, ASecondStartAfterAStopSubscribesAgain) {
  BroadcastEnvironment environment{server, messages};
  bcSessSource source(Files({"a.mp3", "b.mp3"}), environment, nullptr);
  source.start(41);
  EXPECT_EQ(source.state(), SOURCE_PLAYING);
  EXPECT_TRUE(source.subscribed());
  source.stop();
  EXPECT_EQ(source.state(), SOURCE_STOPPED);
  EXPECT_FALSE(source.subscribed());
  source.start(42);
  EXPECT_EQ(source.state(), SOURCE_PLAYING);
  EXPECT_TRUE(source.subscribed());
  com::Apartment::Current()->RunUntil([&] { return source.currentIndex() == 1; }, std::chrono::seconds(5));
  EXPECT_EQ(source.currentIndex(), 1);  // the event moved it on
}

TEST_F(BroadcastSessions, ComponentsThatCannotBeReachedAreToldToTheOperator) {
  broadcast_components::UnregisterBroadcastComponents();
  int number = SessionMgr::Instance().CreateSession({1}, Files({"a.mp3"}), "no platform");
  EXPECT_EQ(number, 1);  // the server session exists; the source simply does not play
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], "采播服务（文件流）无法连接，请检查服务是否已启动！");

  broadcast_components::RegisterBroadcastComponents();
  EXPECT_EQ(SessionMgr::Instance().CreateSession({1}, {}, "empty"), 2);
  EXPECT_EQ(messages.shown.back(), "播放文件列表为空");
}

}  // namespace
