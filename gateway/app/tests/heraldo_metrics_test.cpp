#include "gateway/app/heraldo_metrics.h"

#include <array>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <unistd.h>

#include <gtest/gtest.h>

#include "gateway/app/heraldo_status_page.h"
#include "gateway/pipeline/heraldo_view_logic.h"
#include "platform/clock/manual_clock.h"
#include "platform/timetext/timetext.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The agent as the gateway's keeper and port see it: each SMS is in the
// arrival line from its fetch until the pipeline pops it.
struct FetchingAgent : ReceivedMessages {
  ArrivalLine& arrivals;
  const ManualClock& clock;
  std::deque<std::array<std::string, 2>> inbox;
  std::optional<ArrivalLine::TimePoint> last;
  FetchingAgent(ArrivalLine& line, const ManualClock& manual) : arrivals(line), clock(manual) {}
  void Fetch(const std::string& peer, const std::string& text) {
    inbox.push_back({peer, text});
    arrivals.Came(clock.MonotonicNow());
  }
  bool PopReceived(std::string& peer, std::string& stamp, std::string& text) override {
    if (inbox.empty()) return false;
    peer = inbox.front()[0];
    text = inbox.front()[1];
    stamp = "24071216304232";
    inbox.pop_front();
    last = arrivals.Take();
    return true;
  }
  std::optional<ArrivalLine::TimePoint> LastArrival() const override { return last; }
};

struct FakeBroadcast : BroadcastPort {
  int sessions = 100;
  std::map<int, bool> finished;
  std::map<int, std::string> trouble;
  std::vector<int> AllTerminalIds() override { return {1, 2}; }
  int CreateSession(const std::vector<int>&, const std::vector<PlayItem>&, const std::string&) override {
    finished[++sessions] = false;
    return sessions;
  }
  std::optional<bool> SessionFinished(int number) override { return finished.at(number); }
  std::string SessionTrouble(int number) override { return trouble[number]; }
};

// "silence" holds nothing to speak and makes no MP3.
struct FakeAudio : AudioMaker {
  SpeechResult Text2Wav(const std::string& text, const std::string& wavPath) override {
    if (text == "silence") return {0, 0, true};
    std::ofstream(wavPath) << text;
    return {4};
  }
  void Wav2Mp3(const std::string& wavPath) override {
    if (fs::exists(wavPath)) std::ofstream(wavPath.substr(0, wavPath.rfind('.') + 1) + "mp3") << "mp3";
  }
};

struct NoDialog : TextBroadcastDialog {
  std::optional<TextBroadcastRequest> Ask(const PatTable&) override { return std::nullopt; }
};

struct ReadyModem : ModemAgentView {
  bool ConnectRequested() const override { return true; }
  bool ModemReady() const override { return true; }
  void GetModemSettings(int&, int&) override {}
};

const prometheus::MetricFamily& Family(const std::vector<prometheus::MetricFamily>& families, const std::string& name) {
  for (const auto& family : families)
    if (family.name == name) return family;
  throw std::runtime_error("no family " + name);
}

const prometheus::ClientMetric& Labelled(const prometheus::MetricFamily& family, const std::string& value) {
  for (const auto& metric : family.metric)
    if (!metric.label.empty() && metric.label[0].value == value) return metric;
  throw std::runtime_error("no " + value + " in " + family.name);
}

uint64_t CountUpTo(const prometheus::ClientMetric& histogram, double bound) {
  for (const auto& bucket : histogram.histogram.bucket)
    if (bucket.upper_bound == bound) return bucket.cumulative_count;
  throw std::runtime_error("no bucket");
}

TEST(HeraldoMetrics, EachEndIsCountedUnderItsResultAndTimedByStage) {
  fs::path dir = fs::temp_directory_path() / ("heraldo-metrics-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  GatewaySettings settings;  // every telephone number may broadcast
  ManualClock clock{1765000000};
  settings.lastClearTime = timetext::FormatLocalTime(clock.wall);
  ArrivalLine arrivals;
  FetchingAgent agent(arrivals, clock);
  FakeBroadcast broadcast;
  FakeAudio audio;
  NoDialog dialog;
  BroadcastTally tally;
  ServerContact server;
  ReadyModem modem;
  HeraldoViewLogic logic(settings, (dir / "SMS.ini").string(), dir.string(),
                         PipelinePorts{&agent, &broadcast, &audio, &dialog, &clock});
  logic.UseObserver(tally);
  logic.Initialise();
  HeraldoMetrics metrics({tally, arrivals, server, modem});

  agent.Fetch("8613900000001", "played");
  agent.Fetch("InternetSMS", "an advertiser, never allowed");
  agent.Fetch("8613900000002", "its audio is lost");
  agent.Fetch("8613900000003", "silence");
  auto scraped = metrics.Collect();
  EXPECT_EQ(Family(scraped, "heraldo_sms_received_total").metric[0].counter.value, 4);
  EXPECT_EQ(Family(scraped, "heraldo_queue_length").metric[0].gauge.value, 4);  // all still with the agent

  clock.Advance(1s);  // popped a second after they came
  for (int i = 0; i < 4; ++i) logic.ReceiveMessage();
  EXPECT_EQ(Family(metrics.Collect(), "heraldo_queue_length").metric[0].gauge.value, 3);  // the advertiser is out

  clock.Advance(2s);
  logic.SchedulePlayback();  // two sessions start; the silent one ends there
  broadcast.finished = {{101, true}, {102, true}};
  broadcast.trouble[102] = "3 of its 9 audio records did not reach the broadcast server's data port";
  clock.Advance(10s);
  logic.SchedulePlayback();
  logic.SchedulePlayback();

  scraped = metrics.Collect();
  const auto& results = Family(scraped, "heraldo_broadcasts_total");
  EXPECT_EQ(Labelled(results, "played").counter.value, 1);
  EXPECT_EQ(Labelled(results, "refused").counter.value, 2);
  EXPECT_EQ(Labelled(results, "failed").counter.value, 1);
  EXPECT_EQ(Family(scraped, "heraldo_queue_length").metric[0].gauge.value, 0);
  EXPECT_EQ(Family(scraped, "heraldo_sms_service_up").metric[0].gauge.value, 1);

  const auto& stages = Family(scraped, "heraldo_stage_seconds");
  EXPECT_EQ(stages.type, prometheus::MetricType::Histogram);
  const auto& wait = Labelled(stages, "wait").histogram;  // both sessions, 3 s after their arrival
  EXPECT_EQ(wait.sample_count, 2u);
  EXPECT_DOUBLE_EQ(wait.sample_sum, 6);
  const auto& session = Labelled(stages, "session");  // only a played one is timed to its end
  EXPECT_EQ(session.histogram.sample_count, 1u);
  EXPECT_DOUBLE_EQ(session.histogram.sample_sum, 10);
  const auto& total = Labelled(stages, "total");
  EXPECT_EQ(total.histogram.sample_count, 1u);
  EXPECT_DOUBLE_EQ(total.histogram.sample_sum, 13);
  EXPECT_EQ(CountUpTo(total, 10), 0u);  // seconds, not milliseconds
  EXPECT_EQ(CountUpTo(total, 20), 1u);

  std::vector<RecentBroadcast> recent = tally.Recent();
  ASSERT_EQ(recent.size(), 4u);
  EXPECT_EQ(recent[0].number, "13900000002");  // newest first
  EXPECT_EQ(recent[0].stateText, "短信播放失败");
  EXPECT_EQ(recent[1].stateText, "短信播放完成");
  fs::remove_all(dir);
}

TEST(HeraldoStatusPage, SendersAreMaskedAndTextsCutAndEscaped) {
  HeraldoStatus status;
  status.smsService = SmsServiceState::Ready;
  status.recent.push_back({BroadcastResult::Played, "13912345678", "2024-07-12 16:30:42",
                           "<b>火警</b>请立即从东门撤离到操场集合等待点名，不要乘电梯", "短信播放完成"});
  std::string page = HeraldoStatusPage(status, 1765000000);
  EXPECT_NE(page.find("<meta http-equiv=\"refresh\" content=\"10\">"), std::string::npos);
  EXPECT_NE(page.find("*******5678"), std::string::npos);
  EXPECT_EQ(page.find("13912345678"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;火警&lt;/b&gt;请立即从东门撤离到操场…"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_NE(page.find("短信猫已连接"), std::string::npos);
  EXPECT_NE(page.find("尚未联系"), std::string::npos);
}

}  // namespace
