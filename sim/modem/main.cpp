// modemsim: a GSM modem on a pseudo-terminal, for the SMS service's driver
// and for AT clients to talk to as if it were hardware.
//
//   modemsim --device-dir DIR --com N --control PORT [--storage SLOTS]
//
// Prints "ready" once DIR/COMN and the control port on 127.0.0.1:PORT are
// up; runs until SIGTERM or SIGINT, then removes the link.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/signals/stop_signals.h"
#include "sim/modem/at_engine.h"
#include "sim/modem/control_protocol.h"
#include "sim/modem/control_server.h"
#include "sim/modem/modem_state.h"
#include "sim/modem/paced_output.h"
#include "sim/modem/pty_link.h"
#include "sim/modem/reboot_timer.h"

namespace {

struct Options {
  std::string deviceDir;
  int com = 0;
  int controlPort = 0;
  int storage = 50;
};

std::optional<int> Number(const char* text, int low, int high) {
  char* end;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || end == text || value < low || value > high) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  struct NumberOption {
    const char* name;
    int* field;
    int low, high;
  };
  const NumberOption numbers[] = {{"--com", &options.com, 1, 255},
                                  {"--control", &options.controlPort, 1, 65535},
                                  {"--storage", &options.storage, 1, 1000}};
  if (argc % 2 == 0) return std::nullopt;
  for (int i = 1; i < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--device-dir") {
      options.deviceDir = argv[i + 1];
      continue;
    }
    const NumberOption* option = nullptr;
    for (const NumberOption& n : numbers)
      if (name == n.name) option = &n;
    std::optional<int> value = option ? Number(argv[i + 1], option->low, option->high) : std::nullopt;
    if (!value) return std::nullopt;
    *option->field = *value;
  }
  if (options.deviceDir.empty() || options.com == 0 || options.controlPort == 0) return std::nullopt;
  return options;
}

// The indications of messages stored since the last look, and the buffered
// ones once the link is free; they go out at the next write.
void SendIndications(modemsim::ModemState& state, const modemsim::AtEngine& engine, modemsim::PacedOutput& output,
                     int64_t now) {
  bool reserved = engine.Entering() || !output.Empty();
  for (int slot : state.newlyStored) state.indications.Stored(slot, reserved, state.faults.indications);
  state.newlyStored.clear();
  output.Interject(state.indications.TakeDue(reserved), now);
}

// A noise line when one is due. A moment that finds the line clogged
// passes, so that noise cannot pile up while nobody reads.
void SendNoise(modemsim::ModemState& state, modemsim::PacedOutput& output, int64_t now) {
  constexpr size_t kMaxWaiting = 64;
  modemsim::UrcNoise& noise = state.faults.noise;
  if (noise.Due(now) && output.Waiting() < kMaxWaiting)
    output.Interject(noise.Line(state.Signal(), state.Registration()), now);
}

// The shortest of some waits in milliseconds, -1 (none) left out; -1 when all are.
int Soonest(std::initializer_list<int> waits) {
  int soonest = -1;
  for (int wait : waits)
    if (wait >= 0 && (soonest < 0 || wait < soonest)) soonest = wait;
  return soonest;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "modemsim: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) return Fail("usage: modemsim --device-dir DIR --com N --control PORT [--storage SLOTS]");

  // Signals arrive through a descriptor, so the poll loop never misses one.
  stop_signals::Block();
  int signalFd = stop_signals::Descriptor();

  auto start = std::chrono::steady_clock::now();
  auto nowMs = [start] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  };

  modemsim::ModemState state(options->storage);
  modemsim::AtEngine engine(state);
  modemsim::PacedOutput output;
  modemsim::RebootTimer reboot;
  modemsim::ControlProtocol protocol(state, engine, [&output, &reboot] {
    output.Clear();
    reboot.Cancel();
  });
  modemsim::ControlServer control([&protocol](const std::string& line) { return protocol.Handle(line); });

  std::string error;
  if (!control.Listen(options->controlPort, error)) return Fail(error);
  std::unique_ptr<modemsim::PtyLink> pty = modemsim::PtyLink::Create(options->deviceDir, options->com, error);
  if (!pty) return Fail(error);
  std::printf("ready\n");
  std::fflush(stdout);

  // What a restart or a new terminal begins with; storage and faults survive.
  auto powerUp = [&] {
    engine.Reset();
    state.echo = true;
    state.functionality = 1;
  };

  // Unplugging closes the terminal and removes the link, as a USB modem's
  // device goes; replugging makes a new terminal behind the same link. The
  // storage survives, as it does in a SIM; the line settings do not.
  protocol.OnCable([&](bool plugIn) -> std::string {
    if (plugIn == (pty != nullptr)) return plugIn ? "already plugged in" : "already unplugged";
    if (!plugIn) {
      pty.reset();
      output.Clear();
      return "";
    }
    std::string failure;
    pty = modemsim::PtyLink::Create(options->deviceDir, options->com, failure);
    if (!pty) return failure;
    powerUp();
    return "";
  });
  // A rebooting modem loses what it had still to write and what was being
  // entered, and hears nothing until it is up again.
  protocol.OnReboot([&](int seconds) {
    output.Clear();
    engine.Reset();
    reboot.Start(nowMs(), seconds);
  });

  std::vector<pollfd> fds;
  for (;;) {
    int64_t now = nowMs();
    int writeWait = output.WaitMs(now);
    bool live = pty && !reboot.Running();
    // Bytes due now wait for room on the line; the rest for their time.
    int wait =
        Soonest({writeWait == 0 ? -1 : writeWait, reboot.WaitMs(now), live ? state.faults.noise.WaitMs(now) : -1});
    fds = {{signalFd, POLLIN, 0},
           {pty ? pty->master() : -1, static_cast<short>(POLLIN | (writeWait == 0 ? POLLOUT : 0)), 0},
           {pty ? pty->clientWatch() : -1, POLLIN, 0}};
    control.AddPollFds(fds);
    if (::poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR) return Fail("poll failed");
    if (fds[0].revents & POLLIN) break;

    now = nowMs();
    if (reboot.Ended(now)) {
      powerUp();
      if (pty) output.Push("\r\nRDY\r\n", now);
    }
    if (pty && (fds[1].revents & POLLIN)) {
      char buffer[4096];
      ssize_t n = ::read(pty->master(), buffer, sizeof buffer);
      if (n < 0 && errno != EAGAIN && errno != EINTR) return Fail(std::string("pty read: ") + std::strerror(errno));
      std::string_view received(buffer, n > 0 ? n : 0);
      state.Transcribe(true, received);
      if (!reboot.Running()) {
        for (auto& piece : engine.Feed(received, now)) {
          int delay = piece.reply ? state.faults.replyDelayMs + state.faults.commandDelays.MsFor(piece.command) : 0;
          output.Push(std::move(piece.bytes), now + delay);
        }
      }
    }
    if (pty && (fds[2].revents & POLLIN)) pty->TrackClients();
    std::string written;
    if (pty && !output.WriteDue(pty->master(), nowMs(), state.faults.chunkBytes, state.faults.chunkGapMs, &written))
      return Fail(std::string("pty write: ") + std::strerror(errno));
    state.Transcribe(false, written);
    control.Service(fds);
    if (reboot.Running()) {
      state.newlyStored.clear();  // nothing to indicate them after power-up
    } else if (pty) {
      SendIndications(state, engine, output, nowMs());
      SendNoise(state, output, nowMs());
    }
  }
  return 0;  // the link goes with `pty`
}
