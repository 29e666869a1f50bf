// Vigimon, the terminal fault monitor.
#include <cstdio>
#include <cstring>

#include "monitor/app/export_command.h"
#include "monitor/app/headless_monitor.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--headless") == 0) return RunHeadlessMonitor();
  if (argc == 3 && std::strcmp(argv[1], "--export") == 0 && argv[2][0] != '\0') return RunExportCommand(argv[2]);
  std::fputs(argc == 1 ? "Vigimon: the window is not part of this build; run with --headless\n"
                       : "usage: Vigimon --headless\n"
                         "       Vigimon --export FILE.xls\n"
                         "Settings live in Vigimon.ini in the program's directory, or in $VIGIMON_HOME.\n",
             stderr);
  return argc == 2 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
}
