// How long one poll (terminal ids, then every terminal's state) takes
// against a simulated platform of many terminals. Starts its own bcsim from
// the folder this program sits in, on free loopback ports.
//
//   poll_bench [--terminals N] [--polls K]
//
// The first poll, which creates every record, is reported apart from the
// steady polls that follow; bcsim's own processor time is reported at the
// end, since each poll's work is shared between the two processes.
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "monitor/acquisition/terminal_acquisition.h"
#include "platform/broadcast/broadcast_components.h"
#include "platform/com/apartment.h"

extern char** environ;

namespace {

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = -1;
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  if (fd >= 0) close(fd);
  return port;
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Simulator {
  pid_t pid = -1;
  int infoPort = -1;
};

// Starts bcsim with a generated installation and waits for its "ready".
bool StartSimulator(const std::string& bcsim, const std::string& scenarioPath, Simulator* simulator) {
  std::vector<std::string> args = {bcsim};
  for (const char* option : {"--cmd-port", "--data-port", "--info-port", "--control"}) {
    int port = FreePort();
    if (port < 0) return false;
    if (std::strcmp(option, "--info-port") == 0) simulator->infoPort = port;
    args.push_back(option);
    args.push_back(std::to_string(port));
  }
  args.push_back("--scenario");
  args.push_back(scenarioPath);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int out[2];
  if (pipe(out) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  int failed = posix_spawn(&simulator->pid, bcsim.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (failed) {
    close(out[0]);
    return false;
  }
  std::string seen;
  char c;
  while (read(out[0], &c, 1) == 1) {
    if (c != '\n') {
      seen += c;
      continue;
    }
    if (seen == "ready") break;
    seen.clear();
  }
  // The pipe stays open (and unread) so that bcsim never writes into a closed one.
  return seen == "ready";
}

void StopSimulator(const Simulator& simulator) {
  if (simulator.pid <= 0) return;
  kill(simulator.pid, SIGTERM);
  int status = 0;
  waitpid(simulator.pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  int terminals = 10000;
  int polls = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--terminals") == 0) terminals = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--polls") == 0) polls = std::atoi(argv[i + 1]);
  }

  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  std::string bcsim = (self.parent_path() / "bcsim").string();
  std::string scenarioPath = "/tmp/poll-bench-" + std::to_string(getpid()) + ".json";
  std::ofstream(scenarioPath) << "{\"generate\":{\"terminals\":" << terminals << ",\"areas\":3}}";

  Simulator simulator;
  if (!StartSimulator(bcsim, scenarioPath, &simulator)) {
    std::fprintf(stderr, "poll_bench: cannot start %s\n", bcsim.c_str());
    StopSimulator(simulator);
    std::remove(scenarioPath.c_str());
    return 1;
  }
  setenv("QUILLON_INFO_PORT", std::to_string(simulator.infoPort).c_str(), 1);
  broadcast_components::RegisterBroadcastComponents();
  com::CoInitialize();

  int status = 0;
  {
    MonitorSettings settings;
    TerminalAcquisition acquisition(settings, SystemClock());
    std::printf("terminals %d, polls %d (after one first poll)\n", terminals, polls);
    double steadyWall = 0, steadyCpu = 0;
    for (int poll = 0; poll <= polls; ++poll) {
      double wall0 = WallSeconds(), cpu0 = CpuSeconds();
      bool listed = acquisition.loadTerminalIds();
      double wall1 = WallSeconds(), cpu1 = CpuSeconds();
      bool refreshed = listed && acquisition.refreshTerminalStates();
      double wall2 = WallSeconds(), cpu2 = CpuSeconds();
      if (!refreshed || acquisition.presentIds().size() != static_cast<size_t>(terminals)) {
        std::fprintf(stderr, "poll_bench: poll %d failed (%zu terminals answered)\n", poll,
                     acquisition.presentIds().size());
        status = 1;
        break;
      }
      std::printf("%-6s %d: ids %.3f s wall %.3f s cpu; states %.3f s wall %.3f s cpu; total %.3f s wall %.3f s cpu\n",
                  poll == 0 ? "first" : "poll", poll, wall1 - wall0, cpu1 - cpu0, wall2 - wall1, cpu2 - cpu1,
                  wall2 - wall0, cpu2 - cpu0);
      if (poll > 0) {
        steadyWall += wall2 - wall0;
        steadyCpu += cpu2 - cpu0;
      }
    }
    if (status == 0 && polls > 0)
      std::printf("mean per poll: %.3f s wall, %.3f s cpu (monitor side)\n", steadyWall / polls, steadyCpu / polls);
  }

  com::CoUninitialize();
  StopSimulator(simulator);
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  std::printf("bcsim cpu over the whole run: %.3f s\n",
              static_cast<double>(children.ru_utime.tv_sec + children.ru_stime.tv_sec) +
                  static_cast<double>(children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e6);
  std::remove(scenarioPath.c_str());
  return status;
}
