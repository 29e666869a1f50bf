// bcsim: the broadcast server and platform services of the simulated
// installation, for the end-to-end tests and the demo.
//
//   bcsim [--cmd-port 8000] [--data-port 15001] [--info-port 15002]
//         --control PORT [--scenario FILE.json]
//
// Prints "ready" once every port listens on 127.0.0.1; runs until SIGTERM
// or SIGINT. PROTOCOL.md describes the three platform ports, README.md the
// control port and the scenario files.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/signals/stop_signals.h"
#include "sim/broadcast/bcsim/command_connection.h"
#include "sim/broadcast/bcsim/control_protocol.h"
#include "sim/broadcast/bcsim/data_connection.h"
#include "sim/broadcast/bcsim/event_loop.h"
#include "sim/broadcast/bcsim/info_service.h"
#include "sim/broadcast/bcsim/line_connection.h"
#include "sim/broadcast/bcsim/platform_state.h"
#include "sim/common/json_fields.h"

namespace {

struct Options {
  int commandPort = 8000;
  int dataPort = 15001;
  int infoPort = 15002;
  int controlPort = 0;
  std::string scenario;
};

std::optional<int> PortNumber(const char* text) {
  char* end;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || end == text || value < 1 || value > 65535) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  if (argc % 2 == 0) return std::nullopt;
  for (int i = 1; i < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--scenario") {
      options.scenario = argv[i + 1];
      continue;
    }
    int* field = name == "--cmd-port"    ? &options.commandPort
                 : name == "--data-port" ? &options.dataPort
                 : name == "--info-port" ? &options.infoPort
                 : name == "--control"   ? &options.controlPort
                                         : nullptr;
    std::optional<int> value = field ? PortNumber(argv[i + 1]) : std::nullopt;
    if (!value) return std::nullopt;
    *field = *value;
  }
  if (options.controlPort == 0) return std::nullopt;
  return options;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "bcsim: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Options> options = ParseOptions(argc, argv);
  if (!options)
    return Fail(
        "usage: bcsim [--cmd-port 8000] [--data-port 15001] [--info-port 15002] --control PORT "
        "[--scenario FILE.json]");

  bcsim::PlatformState state;
  if (!options->scenario.empty()) {
    try {
      bcsim::LoadScenarioFile(options->scenario, state.loaded);
    } catch (const simjson::BadRequest& e) {
      return Fail(std::string("scenario: ") + e.what());
    }
    state.live = state.loaded;
  }

  // Signals arrive through a descriptor, so the poll loop never misses one.
  stop_signals::Block();
  int signalFd = stop_signals::Descriptor();

  auto start = std::chrono::steady_clock::now();
  bcsim::EventLoop loop([start] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  });
  bcsim::ControlProtocol control(state, [&loop](const std::string& port, bool up, std::string& error) {
    if (port != "command" && port != "data" && port != "info") {
      error = "\"port\" must be command, data or info";
      return false;
    }
    return loop.SetPortUp(port, up, error);
  });

  std::string error;
  bool listening =
      loop.AddPort(
          "command", options->commandPort, true,
          [&state](int64_t now) { return std::make_unique<bcsim::CommandConnection>(state, now); }, error) &&
      loop.AddPort(
          "data", options->dataPort, false,
          [&state](int64_t) { return std::make_unique<bcsim::DataConnection>(state); }, error) &&
      loop.AddPort(
          "info", options->infoPort, true,
          [&state](int64_t) {
            int id = ++state.lastConnectionId;
            return std::make_unique<bcsim::LineConnection>([&state, id](std::string_view line, int64_t now) {
              return bcsim::AnswerInfoRequest(line, id, state, now);
            });
          },
          error) &&
      loop.AddPort(
          "control", options->controlPort, true,
          [&control](int64_t) {
            return std::make_unique<bcsim::LineConnection>(
                [&control](std::string_view line, int64_t nowMs) { return control.Handle(line, nowMs); });
          },
          error);
  if (!listening) return Fail(error);
  std::printf("ready\n");
  std::fflush(stdout);

  if (!loop.Run(signalFd)) return Fail("poll failed");
  return 0;
}
