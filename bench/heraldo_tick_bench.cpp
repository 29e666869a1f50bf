// How long one timer tick of the gateway's window takes with its list full
// (200 rows): the receive tick (one new message, so the oldest row goes)
// and the scheduler tick, each followed by the list's repaint. Speech,
// encoding and the broadcast server are left out: fakes answer at once.
//
//   QT_QPA_PLATFORM=offscreen heraldo_tick_bench [ticks]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <QApplication>

#include "gateway/pipeline/heraldo_view_logic.h"
#include "gateway/pipeline/heraldo_window_logic.h"
#include "gateway/window/heraldo_main_window.h"
#include "platform/clock/manual_clock.h"

namespace {

namespace fs = std::filesystem;
using Timer = std::chrono::steady_clock;

// One new SMS from a rotating sender on every fetch.
struct EndlessInbox : ReceivedMessages {
  int next = 0;
  bool PopReceived(std::string& peer, std::string& stamp, std::string& text) override {
    peer = "86139000" + std::to_string(10000 + next % 50);
    stamp = "261207103000";
    text = "message " + std::to_string(next++);
    return true;
  }
};

// Sessions finish as soon as they are asked about.
struct InstantServer : BroadcastPort {
  int sessions = 0;
  std::vector<int> AllTerminalIds() override { return {1, 2, 3}; }
  int CreateSession(const std::vector<int>&, const std::vector<PlayItem>&, const std::string&) override {
    return ++sessions;
  }
  std::optional<bool> SessionFinished(int) override { return true; }
};

struct SilentAudio : AudioMaker {
  SpeechResult Text2Wav(const std::string&, const std::string&) override { return {0}; }
  void Wav2Mp3(const std::string&) override {}
};

struct NoText : TextBroadcastDialog {
  std::optional<TextBroadcastRequest> Ask(const PatTable&) override { return std::nullopt; }
};

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(share * values.size()))];
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int ticks = argc > 1 ? std::atoi(argv[1]) : 2000;
  fs::path dir = fs::temp_directory_path() / ("heraldo_tick_bench." + std::to_string(getpid()));
  fs::create_directories(dir);

  GatewaySettings settings;  // every number may broadcast, to all terminals
  EndlessInbox inbox;
  InstantServer server;
  SilentAudio audio;
  NoText text;
  NoGatewayDialogs dialogs;
  ui::StderrMessageBox messages;
  ManualClock clock(1765000000);
  HeraldoViewLogic view(settings, (dir / "SMS.ini").string(), dir.string(),
                        PipelinePorts{&inbox, &server, &audio, &text, &clock});
  view.Initialise();
  BroadcastServerSettings serverSettings;
  HeraldoWindowLogic logic(settings, (dir / "SMS.ini").string(), (dir / "SMServer.ini").string(), serverSettings, view,
                           nullptr, dialogs, messages);
  HeraldoMainWindow window(
      view, logic, [] {}, [] {});
  window.show();
  while (view.rows().size() < MessageRows::kMaxRows) {
    window.ReceiveTick();
    window.ScheduleTick();
  }
  QApplication::processEvents();

  // First the ticks alone (what runs inside the timer), then each followed
  // by the repaint it causes.
  for (bool paint : {false, true}) {
    std::vector<double> receive, schedule;
    for (int i = 0; i < ticks; ++i) {
      auto start = Timer::now();
      window.ReceiveTick();
      if (paint) QApplication::processEvents();
      auto middle = Timer::now();
      window.ScheduleTick();
      if (paint) QApplication::processEvents();
      auto end = Timer::now();
      receive.push_back(std::chrono::duration<double, std::milli>(middle - start).count());
      schedule.push_back(std::chrono::duration<double, std::milli>(end - middle).count());
    }
    for (auto [name, values] : {std::pair{"receive tick", &receive}, std::pair{"schedule tick", &schedule}}) {
      double sum = 0;
      for (double v : *values) sum += v;
      std::printf("%-14s%s, %zu rows, %d ticks: mean %.3f ms, p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", name,
                  paint ? " + repaint" : "          ", view.rows().size(), ticks, sum / values->size(),
                  Percentile(*values, 0.5), Percentile(*values, 0.99), Percentile(*values, 1.0));
    }
  }
  window.close();
  fs::remove_all(dir);
  return 0;
}
