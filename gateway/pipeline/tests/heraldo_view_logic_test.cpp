#include "gateway/pipeline/heraldo_view_logic.h"

#include <array>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "gateway/journal/sqlite_message_journal.h"
#include "platform/clock/manual_clock.h"
#include "platform/codepage/codepage.h"
#include "platform/timetext/timetext.h"

namespace {

namespace fs = std::filesystem;

// With a journal, it journals what it hands over, as the gateway's agent does.
struct FakeAgent : ReceivedMessages {
  std::deque<std::array<std::string, 3>> inbox;
  MessageJournal* journal = nullptr;
  const Clock* clock = nullptr;
  int64_t lastId = 0;
  bool PopReceived(std::string& peer, std::string& stamp, std::string& text) override {
    if (inbox.empty()) return false;
    peer = inbox.front()[0];
    stamp = inbox.front()[1];
    text = inbox.front()[2];
    inbox.pop_front();
    if (journal) lastId = journal->Add(ArrivingSms(peer, stamp, text, clock->WallNow())).value_or(0);
    return true;
  }
  int64_t LastJournalId() const override { return lastId; }
};

struct CreatedSession {
  std::vector<int> terminals;
  std::vector<PlayItem> playList;
  std::string name;
};

struct FakeBroadcast : BroadcastPort {
  std::vector<int> all = {11, 12, 13};
  std::vector<CreatedSession> created;
  std::map<int, bool> finished;  // registered sessions
  bool refuse = false;
  int terminalListQueries = 0;
  std::vector<int> AllTerminalIds() override {
    ++terminalListQueries;
    return all;
  }
  int CreateSession(const std::vector<int>& terminals, const std::vector<PlayItem>& playList,
                    const std::string& name) override {
    if (refuse) return -1;
    created.push_back({terminals, playList, name});
    int number = static_cast<int>(created.size()) + 100;
    finished[number] = false;
    return number;
  }
  std::optional<bool> SessionFinished(int number) override {
    auto it = finished.find(number);
    if (it == finished.end()) return std::nullopt;
    return it->second;
  }
  std::map<int, std::string> trouble;
  std::string SessionTrouble(int number) override { return trouble[number]; }
};

struct FakeAudio : AudioMaker {
  std::vector<std::string> spoken;
  SpeechResult Text2Wav(const std::string& text, const std::string& wavPath) override {
    spoken.push_back(wavPath);
    std::ofstream(wavPath) << text;
    return {4};
  }
  void Wav2Mp3(const std::string& wavPath) override {
    std::ofstream(wavPath.substr(0, wavPath.rfind('.') + 1) + "mp3") << "mp3";
  }
};

struct FakeReplies : ReplyPort {
  std::vector<std::pair<std::string, std::string>> sent;  // number, UTF-8 text
  bool Send(const std::string& number, const std::string& text) override {
    sent.emplace_back(number, codepage::GbkToUtf8(text));
    return true;
  }
};

struct FakeDialog : TextBroadcastDialog {
  std::optional<TextBroadcastRequest> answer;
  std::optional<TextBroadcastRequest> Ask(const PatTable&) override { return answer; }
};

class Pipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("heraldo-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    settings.lastClearTime = timetext::FormatLocalTime(clock.wall);
    logic = std::make_unique<HeraldoViewLogic>(settings, (dir / "SMS.ini").string(), dir.string(),
                                               PipelinePorts{&agent, &broadcast, &audio, &dialog, &clock});
    logic->Initialise();
  }
  void TearDown() override { fs::remove_all(dir); }

  void Receive(const std::string& from, const std::string& text, const std::string& stamp = "24071216304232") {
    agent.inbox.push_back({from, stamp, text});
    logic->ReceiveMessage();
  }
  std::string State(size_t row) { return codepage::GbkToUtf8(logic->rows()[row].columns[COL_STATE]); }
  std::string Log() {
    std::ifstream in(dir / "log.txt", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir;
  GatewaySettings settings;
  FakeAgent agent;
  FakeBroadcast broadcast;
  FakeAudio audio;
  FakeDialog dialog;
  ManualClock clock{1765000000};
  std::unique_ptr<HeraldoViewLogic> logic;
};

TEST_F(Pipeline, AnSmsBecomesARowWithAudioAndPlaysOnAllTerminals) {
  settings.pat["13900000001"] = "3,7";  // listed, but regular 1 sends everyone's to all terminals
  Receive("8613900000001", "fire drill at three");
  ASSERT_EQ(logic->rows().size(), 1u);
  const auto& row = logic->rows()[0];
  EXPECT_EQ(row.columns[COL_NUMBER], "13900000001");
  EXPECT_EQ(row.columns[COL_TIME], "2024-07-12 16:30:42");
  EXPECT_EQ(codepage::GbkToUtf8(row.columns[COL_SOURCE]), "电话短信");
  EXPECT_EQ(State(0), "短信等待播放");
  EXPECT_EQ(audio.spoken, (std::vector<std::string>{(dir / "temp/139000000012024-07-12_16_30_42.wav").string()}));
  // The seed default lets anyone broadcast everywhere: the operator is told.
  EXPECT_EQ(codepage::GbkToUtf8(logic->StartNotice()), "注意：任何号码都可以向所有终端广播（Regular=1）");
  EXPECT_NE(Log().find("Regular=1: every number may broadcast, to every terminal"), std::string::npos);

  logic->SchedulePlayback();
  ASSERT_EQ(broadcast.created.size(), 1u);
  EXPECT_EQ(broadcast.created[0].terminals, (std::vector<int>{11, 12, 13}));
  EXPECT_EQ(broadcast.created[0].name, "13900000001");
  ASSERT_EQ(broadcast.created[0].playList.size(), 2u);  // one lead-in, then the message
  EXPECT_EQ(broadcast.created[0].playList[0].path, (dir / "OneSecond.mp3").string());
  EXPECT_EQ(broadcast.created[0].playList[1].name, "139000000012024-07-12_16_30_42.mp3");
  EXPECT_TRUE(fs::exists(broadcast.created[0].playList[1].path));
  EXPECT_EQ(State(0), "短信正在播放");
  EXPECT_EQ(logic->busy().at("13900000001"), "3,7");

  logic->SchedulePlayback();
  EXPECT_EQ(State(0), "短信正在播放");  // still playing
  broadcast.finished[101] = true;
  logic->SchedulePlayback();
  EXPECT_EQ(State(0), "短信播放完成");
  EXPECT_TRUE(logic->busy().empty());
  EXPECT_NE(Log().find("fire drill at three\r\n"), std::string::npos);
  EXPECT_NE(Log().find(" Text2Wav Result Code:4\r\n"), std::string::npos);
  EXPECT_NE(Log().find("\r\n13900000001\r\n"), std::string::npos);  // the session name
}

TEST_F(Pipeline, UnlistedSenderIsRefusedWhenOnlyListedNumbersMayBroadcast) {
  settings.regular = 0;
  settings.pat["13900000001"] = "3,7,";
  Receive("8613900000009", "let me in");
  EXPECT_EQ(State(0), "非授权号码");
  EXPECT_FALSE(logic->rows()[0].item);
  EXPECT_TRUE(audio.spoken.empty());
  EXPECT_NE(Log().find("let me in\r\n"), std::string::npos);

  Receive("8613900000001", "listed");
  logic->SchedulePlayback();
  ASSERT_EQ(broadcast.created.size(), 1u);
  EXPECT_EQ(broadcast.created[0].terminals, (std::vector<int>{3, 7}));
  EXPECT_EQ(broadcast.created[0].name, "139000000013,7,");
  EXPECT_EQ(broadcast.terminalListQueries, 0);
}

TEST_F(Pipeline, OneNumberPlaysInTurnTwoNumbersTogether) {
  Receive("8613900000001", "first", "24071216304201");
  Receive("8613900000001", "second", "24071216304202");
  Receive("8613900000002", "other", "24071216304203");
  logic->SchedulePlayback();
  ASSERT_EQ(broadcast.created.size(), 2u);
  EXPECT_EQ(broadcast.created[1].name, "13900000002");
  EXPECT_EQ(State(1), "短信等待播放");
  broadcast.finished[101] = true;
  logic->SchedulePlayback();  // finishes the first, and ends the tick there
  EXPECT_EQ(State(0), "短信播放完成");
  EXPECT_EQ(broadcast.created.size(), 2u);
  logic->SchedulePlayback();
  ASSERT_EQ(broadcast.created.size(), 3u);
  EXPECT_EQ(State(1), "短信正在播放");
}

TEST_F(Pipeline, LeadInFollowsTheDelay) {
  settings.delay = 0;
  Receive("8613900000001", "no lead-in");
  logic->SchedulePlayback();
  settings.delay = 3;
  Receive("8613900000002", "three");
  logic->SchedulePlayback();
  ASSERT_EQ(broadcast.created.size(), 2u);
  EXPECT_EQ(broadcast.created[0].playList.size(), 1u);
  ASSERT_EQ(broadcast.created[1].playList.size(), 4u);
  EXPECT_EQ(broadcast.created[1].playList[2].name, "OneSecond.mp3");
}

TEST_F(Pipeline, FailuresLeaveTheBusyMapAlone) {
  settings.replayMinutes = 0;  // no retries: the first failure is the last
  broadcast.all.clear();       // server unreachable
  Receive("8613900000001", "nowhere");
  logic->SchedulePlayback();
  EXPECT_EQ(State(0), "短信播放失败");
  broadcast.all = {1};
  broadcast.refuse = true;
  dialog.answer = TextBroadcastRequest{"8613900000002", "typed"};
  logic->SendTextBroadcast();
  EXPECT_EQ(logic->rows()[1].columns[COL_NUMBER], "8613900000002");  // typed numbers keep their 86
  EXPECT_EQ(State(1), "文本等待播放");
  logic->SchedulePlayback();
  EXPECT_EQ(State(1), "文本播放失败");
  EXPECT_TRUE(logic->busy().empty());
}

TEST_F(Pipeline, The201stRowDropsTheFirstAndItsBusyMark) {
  Receive("8613900000001", "playing");
  logic->SchedulePlayback();
  ASSERT_EQ(logic->busy().size(), 1u);
  for (int i = 0; i < 200; ++i) Receive("8613900000002", "m" + std::to_string(i));
  EXPECT_EQ(logic->rows().size(), 200u);
  EXPECT_EQ(logic->rows()[0].columns[COL_TEXT], "m0");
  EXPECT_TRUE(logic->busy().count("13900000001") == 0);
}

TEST_F(Pipeline, CleanUpRemovesEveryWavAndOldMp3s) {
  auto temp = fs::path(logic->TempDirectory());
  auto made = [&](int daysAgo, const char* extension) {
    std::string name =
        "13900000001" + FileBaseName(timetext::FormatLocalTime(clock.wall - daysAgo * 86400)) + extension;
    std::ofstream(temp / name) << "x";
    return temp / name;
  };
  auto todayWav = made(0, ".wav"), yesterdayMp3 = made(1, ".mp3"), oldMp3 = made(3, ".mp3"), oldWav = made(3, ".wav");
  std::ofstream(temp / "notes.txt") << "no date in its name";
  settings.deadLineDay = 1;
  settings.interDay = 1;

  clock.wall += 86400;  // one day: not more than interDay yet
  logic->CheckCleanup();
  EXPECT_TRUE(fs::exists(todayWav));
  clock.wall += 86400;
  logic->CheckCleanup();
  EXPECT_FALSE(fs::exists(todayWav));
  EXPECT_FALSE(fs::exists(oldWav));
  EXPECT_FALSE(fs::exists(oldMp3));
  EXPECT_FALSE(fs::exists(temp / "notes.txt"));
  EXPECT_FALSE(fs::exists(yesterdayMp3));  // three days old by now
  EXPECT_EQ(settings.lastClearTime, timetext::FormatLocalTime(clock.wall));
}

TEST_F(Pipeline, CleanUpKeepsAYesterdaysMp3AndRunsForAFutureTime) {
  auto temp = fs::path(logic->TempDirectory());
  std::string name = "1" + FileBaseName(timetext::FormatLocalTime(clock.wall - 86400)) + ".mp3";
  std::ofstream(temp / name) << "x";
  logic->ClearTempFiles();
  EXPECT_TRUE(fs::exists(temp / name));

  settings.lastClearTime = timetext::FormatLocalTime(clock.wall + 3 * 86400);  // a clock that went back
  logic->CheckCleanup();
  EXPECT_EQ(settings.lastClearTime, timetext::FormatLocalTime(clock.wall));
}

TEST_F(Pipeline, AFreshInstallationSettlesTheLastCleanUpADayBack) {
  settings.lastClearTime = DEFAULT_LAST_CLEAR_TIME;
  logic->Initialise();
  EXPECT_EQ(settings.lastClearTime, timetext::FormatLocalTime(clock.wall - 86400));
  GatewaySettings saved;
  LoadGatewaySettings((dir / "SMS.ini").string(), saved);
  EXPECT_EQ(saved.lastClearTime, settings.lastClearTime);
}

TEST_F(Pipeline, ClosingLogsEveryRow) {
  Receive("8613900000001", "hello");
  logic->LogAllRows();
  EXPECT_NE(Log().find("13900000001 2024-07-12 16:30:42 hello " + codepage::Utf8ToGbk("短信等待播放") + " \r\n"),
            std::string::npos);
}

TEST(StampText, ServiceCentreTimeShownAsLocalTime) {
  EXPECT_EQ(StampToTimeText("24071216304232"), "2024-07-12 16:30:42");   // UTC+8, as here
  EXPECT_EQ(StampToTimeText("24071208304200"), "2024-07-12 16:30:42");   // UTC
  EXPECT_EQ(StampToTimeText("240711233042-20"), "2024-07-12 12:30:42");  // UTC-5, the day before
  EXPECT_EQ(StampToTimeText("24123120000000"), "2025-01-01 04:00:00");   // a new year here
  EXPECT_EQ(StampToTimeText("240712163042"), "2024-07-12 16:30:42");     // no zone: as stated
  EXPECT_EQ(StampToTimeText("2407121630423F"), "2024-07-12 16:30:42");   // no readable zone
  EXPECT_FALSE(StampToTimeText("24071216304"));
  EXPECT_EQ(FileBaseName(" 2012-03-04 05:06:07 "), "2012-03-04_05_06_07");
}

// The gateway with its journal, started again as after a power cut.
class JournaledPipeline : public Pipeline {
 protected:
  void SetUp() override {
    Pipeline::SetUp();
    settings.pat["13900000001"] = "";
    Restart();
  }
  void Restart() {
    logic = std::make_unique<HeraldoViewLogic>(settings, (dir / "SMS.ini").string(), dir.string(),
                                               PipelinePorts{&agent, &broadcast, &audio, &dialog, &clock});
    journal = std::make_unique<SqliteMessageJournal>((dir / "heraldo.db").string(), clock);
    agent.journal = journal.get();
    agent.clock = &clock;
    logic->UseJournal(*journal);
    logic->UseReplies(replies);
    logic->Initialise();
  }
  std::vector<std::string> States() {
    std::vector<std::string> states;
    for (size_t i = 0; i < logic->rows().size(); ++i) states.push_back(State(i));
    return states;
  }
  std::unique_ptr<SqliteMessageJournal> journal;
  FakeReplies replies;
};

TEST_F(JournaledPipeline, WhatWasWaitingOrPlayingIsPlayedAfterARestartAndThePlayedOnesAreNot) {
  Receive("8613900000001", "played before", "26120905300032");
  logic->SchedulePlayback();
  broadcast.finished[101] = true;
  logic->SchedulePlayback();
  Receive("8613900000001", "cut off while playing", "26120905300132");
  Receive("8613900000001", "still waiting", "26120905300232");
  logic->SchedulePlayback();  // the second starts; the third waits for the number
  ASSERT_EQ(States(), (std::vector<std::string>{"短信播放完成", "短信正在播放", "短信等待播放"}));

  clock.Advance(std::chrono::minutes(5));
  Restart();
  EXPECT_EQ(States(), (std::vector<std::string>{"短信播放完成", "短信等待播放", "短信等待播放"}));
  for (int tick = 0; tick < 6; ++tick) {
    logic->SchedulePlayback();
    for (auto& [number, done] : broadcast.finished) done = true;
  }
  ASSERT_EQ(broadcast.created.size(), 4u) << "the interrupted one again from its start, then the waiting one";
  EXPECT_NE(broadcast.created[2].playList.back().name.find("_2_2026-12-09_05_30_01"), std::string::npos);
  EXPECT_NE(broadcast.created[3].playList.back().name.find("_3_2026-12-09_05_30_02"), std::string::npos);
  EXPECT_EQ(States(), (std::vector<std::string>{"短信播放完成", "短信播放完成", "短信播放完成"}));
}

TEST_F(JournaledPipeline, MessagesOlderThanTheReplayWindowAreMarkedExpiredAndPlayOnlyWhenAsked) {
  settings.replayMinutes = 30;
  Receive("8613900000001", "too late now", "26120905300032");
  clock.Advance(std::chrono::minutes(31));
  Restart();
  EXPECT_EQ(States(), (std::vector<std::string>{"未播放（已过期）"}));
  logic->SchedulePlayback();
  EXPECT_TRUE(broadcast.created.empty());
  EXPECT_NE(Log().find("not played before the restart, and too old to play now"), std::string::npos);

  fs::remove_all(dir / "temp");  // cleaned up meanwhile: the replay speaks it again
  logic->StartPlayback(0);
  ASSERT_EQ(broadcast.created.size(), 1u);
  EXPECT_TRUE(fs::exists(broadcast.created[0].playList.back().path));
  Restart();
  EXPECT_EQ(States(), (std::vector<std::string>{"未播放（已过期）"})) << "a replay cut off shows as not played";
}

TEST_F(JournaledPipeline, TwoSmsFromOneNumberInOneSecondKeepTheirOwnSpeech) {
  Receive("8613900000001", "first of two", "26120905300032");
  Receive("8613900000001", "second of two", "26120905300032");
  ASSERT_EQ(audio.spoken.size(), 2u);
  EXPECT_NE(audio.spoken[0], audio.spoken[1]);
  for (int tick = 0; tick < 4; ++tick) {
    logic->SchedulePlayback();
    for (auto& [number, done] : broadcast.finished) done = true;
  }
  ASSERT_EQ(broadcast.created.size(), 2u);
  std::ifstream second(
      broadcast.created[1].playList.back().path.substr(0, broadcast.created[1].playList.back().path.size() - 3) +
      "wav");
  std::string spoken((std::istreambuf_iterator<char>(second)), std::istreambuf_iterator<char>());
  EXPECT_EQ(spoken, "second of two");
}

TEST_F(JournaledPipeline, AServerThatCannotStartTheSessionIsTriedAgainForTheReplayWindowThenNamed) {
  settings.replayMinutes = 2;
  broadcast.refuse = true;
  Receive("8613900000001", "server down", "26120905300032");
  logic->SchedulePlayback();
  EXPECT_EQ(State(0), "短信等待播放");
  EXPECT_NE(Log().find("13900000001: the broadcast server did not start the session; tried again until"),
            std::string::npos)
      << Log();
  broadcast.refuse = false;
  clock.Advance(std::chrono::seconds(5));
  logic->SchedulePlayback();
  EXPECT_TRUE(broadcast.created.empty()) << "not before the retry is due";
  clock.Advance(std::chrono::seconds(5));
  logic->SchedulePlayback();
  EXPECT_EQ(broadcast.created.size(), 1u) << "the server came back within the window";

  broadcast.refuse = true;
  Receive("8613900000001", "server stays down", "26120905310032");
  broadcast.finished[101] = true;
  logic->SchedulePlayback();
  for (int i = 0; i < 13; ++i) {
    clock.Advance(std::chrono::seconds(10));
    logic->SchedulePlayback();
  }
  EXPECT_EQ(State(1), "短信播放失败");
  EXPECT_NE(Log().find("not broadcast: the broadcast server did not start the session"), std::string::npos);
  Restart();
  EXPECT_EQ(journal->Latest(1)[0].reason,
            "the broadcast server did not start the session, until the replay window ended");
}

TEST_F(JournaledPipeline, AudioThatNeverReachedTheServerFailsTheRowWithTheReason) {
  Receive("8613900000001", "data port down", "26120905300032");
  logic->SchedulePlayback();
  broadcast.finished[101] = true;
  broadcast.trouble[101] = "40 of its 40 audio records did not reach the broadcast server's data port";
  logic->SchedulePlayback();
  EXPECT_EQ(State(0), "短信播放失败");
  EXPECT_NE(Log().find("not broadcast: 40 of its 40 audio records"), std::string::npos);
  EXPECT_TRUE(logic->busy().empty()) << "the number's next message may start";
}

}  // namespace

#include "gateway/pipeline/modem_status.h"

namespace {

struct FakeAgentFlags : ModemAgentView {
  bool requested = false, ready = false;
  int port = 4, rate = 115200;
  bool ConnectRequested() const override { return requested; }
  bool ModemReady() const override { return ready; }
  void GetModemSettings(int& p, int& r) override {
    p = port;
    r = rate;
  }
};

TEST_F(Pipeline, TheFirstReadyStatusSavesTheConfirmedPortAndRate) {
  ModemStatus status(settings, (dir / "SMS.ini").string());
  FakeAgentFlags agentFlags;
  EXPECT_EQ(codepage::GbkToUtf8(status.Update(nullptr)), "短信猫未连接");
  agentFlags.requested = true;
  EXPECT_EQ(codepage::GbkToUtf8(status.Update(&agentFlags)), "短信猫正在连接...");
  agentFlags.ready = true;
  EXPECT_EQ(codepage::GbkToUtf8(status.Update(&agentFlags)), "短信猫已连接");
  EXPECT_EQ(settings.port, 4);
  GatewaySettings saved;
  LoadGatewaySettings((dir / "SMS.ini").string(), saved);
  EXPECT_EQ(saved.rate, 115200);
  agentFlags.rate = 9600;  // later updates while ready do not write again
  status.Update(&agentFlags);
  LoadGatewaySettings((dir / "SMS.ini").string(), saved);
  EXPECT_EQ(saved.rate, 115200);
}

}  // namespace

TEST_F(JournaledPipeline, APinIsTakenOutBeforeAnythingSeesTheTextAndAWrongOneIsRefusedMasked) {
  settings.pins["13900000001"] = "4321";
  Receive("8613900000001", codepage::Utf8ToGbk("4321 三号楼停电"), "26120905300032");
  Receive("8613900000001", "4322 guess", "26120905300132");
  Receive("8613900000001", "no pin at all", "26120905300232");
  Receive("8613900000001", "4321 waits", "26120905300332");
  EXPECT_EQ(States(), (std::vector<std::string>{"短信等待播放", "非授权号码", "非授权号码", "短信等待播放"}));
  EXPECT_EQ(codepage::GbkToUtf8(logic->rows()[0].columns[COL_TEXT]), "三号楼停电");
  EXPECT_EQ(logic->rows()[1].columns[COL_TEXT], "**** guess");
  std::ifstream wav(dir / "temp" / (logic->rows()[0].audioStem + ".wav"));
  std::string spoken((std::istreambuf_iterator<char>(wav)), std::istreambuf_iterator<char>());
  EXPECT_EQ(codepage::GbkToUtf8(spoken), "三号楼停电");

  // Fetched and journaled, then the program ended before it was looked at.
  journal->Add(ArrivingSms("8613900000001", "26120905300432", "4321 after the restart", clock.WallNow()));
  journal->Add(ArrivingSms("8613900000001", "26120905300532", "1111 after the restart", clock.WallNow()));
  Restart();
  EXPECT_EQ(States(), (std::vector<std::string>{"短信等待播放", "非授权号码", "非授权号码", "短信等待播放",
                                                "短信等待播放", "非授权号码"}))
      << "a message checked before the restart is not checked again; one never checked is";
  EXPECT_EQ(logic->rows()[3].columns[COL_TEXT], "waits");
  EXPECT_EQ(logic->rows()[4].columns[COL_TEXT], "after the restart");
  std::string everything = Log();
  for (const JournaledMessage& kept : journal->Latest(10)) everything += kept.text;
  for (const AuditEntry& entry : journal->AuditBetween(0, clock.WallNow())) everything += entry.text;
  for (const char* pin : {"4321", "4322", "1111"}) EXPECT_EQ(everything.find(pin), std::string::npos) << pin;
}

TEST_F(JournaledPipeline, SendersHearHowItEndedTheLimitHoldsAndEveryDecisionIsAudited) {
  settings.replyConfirm = settings.replyRefused = true;
  settings.replyCentre = "8613800100500";
  settings.maxPerHour = 2;
  settings.regular = 0;
  settings.pat["13900000002"] = "";  // listed without terminals: fails
  settings.pat["13900000001"] = "3,7";
  Receive("8613900000001", codepage::Utf8ToGbk("请注意：三号楼今晚停电检修"), "26120905300032");
  logic->SchedulePlayback();
  broadcast.finished[101] = true;
  logic->SchedulePlayback();
  Receive("8613900000001", "short", "26120905300132");
  Receive("8613900000001", "one too many", "26120905300232");
  Receive("8613900000001", "and another", "26120905300332");
  Receive("8613000000000", "not listed", "26120905300432");
  Receive("8613900000002", "no terminals", "26120905300532");
  logic->SchedulePlayback();
  EXPECT_EQ(replies.sent, (std::vector<std::pair<std::string, std::string>>{
                              {"8613900000001", "已播放：请注意：三号楼今晚停…（2个终端）"},
                              {"8613900000001", "您的号码无权广播。"},
                              {"8613000000000", "您的号码无权广播。"},
                              {"8613900000002", "播放失败：no termina…，请联系管理员"},
                          }))
      << "the third refusal within the hour goes unanswered";

  clock.Advance(std::chrono::minutes(61));
  Receive("8613900000001", "an hour later", "26120906310032");
  EXPECT_EQ(State(6), "短信等待播放");

  auto audit = journal->AuditBetween(0, clock.WallNow());
  ASSERT_EQ(audit.size(), 5u) << "what still plays or waits is not decided yet";
  EXPECT_EQ(audit[0].decision, "played");
  EXPECT_EQ(audit[0].terminals, "3,7");
  EXPECT_EQ(audit[0].number, "13900000001");
  EXPECT_EQ(audit[1].decision, "refused");
  EXPECT_EQ(audit[1].reason, "more than 2 messages within an hour");
  EXPECT_EQ(audit[3].reason, "number not authorised");
  EXPECT_EQ(audit[4].decision, "failed");
  EXPECT_EQ(audit[4].reason, "its number lists no terminals");
  EXPECT_TRUE(journal->AuditBetween(clock.WallNow() - 60, clock.WallNow()).empty());
}
