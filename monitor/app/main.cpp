// Vigimon, the terminal fault monitor.
#include <cstdio>
#include <cstring>

#include "monitor/app/export_command.h"
#include "monitor/app/headless_monitor.h"
#include "monitor/app/windowed_monitor.h"
#include "platform/ui/qt/display.h"
#include "quillon_version.h"

int main(int argc, char** argv) {
  // The composition root: the process's settings are taken here, once.
  MonitorSettings& settings = MonitorSettings::Instance();
  if (argc == 2 && std::strcmp(argv[1], "--headless") == 0) return RunHeadlessMonitor(settings);
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("Vigimon %s\n", kQuillonVersion);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--export") == 0 && argv[2][0] != '\0')
    return RunExportCommand(argv[2], settings);
  if (argc == 1) {
    if (DisplayAvailable()) return RunWindowedMonitor(argc, argv, settings);
    std::fputs(
        "Vigimon: no display found (DISPLAY and WAYLAND_DISPLAY are not set); Vigimon --headless runs without one\n",
        stderr);
    return 2;
  }
  std::fputs(
      "usage: Vigimon                 the window, in the notification area\n"
      "       Vigimon --headless\n"
      "       Vigimon --export FILE.xls\n"
      "       Vigimon --version\n"
      "Settings live in Vigimon.ini in the program's directory, or in $VIGIMON_HOME.\n",
      stderr);
  return argc == 2 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
}
