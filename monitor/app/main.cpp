// Vigimon, the terminal fault monitor.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "monitor/app/export_command.h"
#include "monitor/app/headless_monitor.h"
#include "monitor/app/windowed_monitor.h"
#include "platform/metrics/run_options.h"
#include "platform/ui/qt/display.h"
#include "quillon_version.h"

namespace {

constexpr const char* kUsage =
    "usage: Vigimon [--metrics HOST:PORT]             the window, in the notification area\n"
    "       Vigimon --headless [--metrics HOST:PORT]\n"
    "       Vigimon --export FILE.xls\n"
    "       Vigimon --version\n"
    "--metrics serves Prometheus metrics at /metrics and a status page at / on that\n"
    "address, such as 127.0.0.1:9815 (off unless given).\n"
    "Settings live in Vigimon.ini in the program's directory, or in $VIGIMON_HOME.\n";

}  // namespace

int main(int argc, char** argv) {
  // The composition root: the process's settings are taken here, once.
  MonitorSettings& settings = MonitorSettings::Instance();
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("Vigimon %s\n", kQuillonVersion);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--export") == 0 && argv[2][0] != '\0')
    return RunExportCommand(argv[2], settings);
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::string error;
  std::optional<RunOptions> run = ParseRunOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!run) {
    std::fprintf(stderr, "Vigimon: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (run->headless) return RunHeadlessMonitor(settings, run->metrics);
  if (DisplayAvailable()) return RunWindowedMonitor(argc, argv, settings, run->metrics);
  std::fputs(
      "Vigimon: no display found (DISPLAY and WAYLAND_DISPLAY are not set); Vigimon --headless runs without one\n",
      stderr);
  return 2;
}
