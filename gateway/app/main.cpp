// Heraldo, the SMS broadcast gateway.
#include <cstdio>
#include <cstring>
#include <string>

#include "gateway/app/headless_gateway.h"
#include "gateway/app/speak_once.h"
#include "gateway/app/windowed_gateway.h"
#include "platform/ui/qt/display.h"
#include "quillon_version.h"

namespace {

constexpr const char* kUsage =
    "usage: Heraldo                 the window\n"
    "       Heraldo --headless      without a window, logging what it would show\n"
    "       Heraldo --speak TEXT --out FILE.wav\n"
    "       Heraldo --version\n"
    "Settings (SMS.ini, SMServer.ini), log.txt and temp/ live in the program's\n"
    "directory, or in $HERALDO_HOME when it is set.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--headless") == 0) return RunHeadlessGateway();
  if (argc == 5 && std::strcmp(argv[1], "--speak") == 0 && std::strcmp(argv[3], "--out") == 0)
    return SpeakOnce(argv[2], argv[4]);
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("Heraldo %s\n", kQuillonVersion);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!DisplayAvailable()) {
    std::fputs(
        "Heraldo: no display found (DISPLAY and WAYLAND_DISPLAY are not set); Heraldo --headless runs without one\n",
        stderr);
    return 2;
  }
  return RunWindowedGateway(argc, argv);
}
