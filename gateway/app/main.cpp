// Heraldo, the SMS broadcast gateway.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "gateway/app/audit_export.h"
#include "gateway/app/headless_gateway.h"
#include "gateway/app/speak_once.h"
#include "gateway/app/windowed_gateway.h"
#include "platform/metrics/run_options.h"
#include "platform/ui/qt/display.h"
#include "quillon_version.h"

namespace {

constexpr const char* kUsage =
    "usage: Heraldo [--metrics HOST:PORT]             the window\n"
    "       Heraldo --headless [--metrics HOST:PORT]  without a window, logging what it would show\n"
    "       Heraldo --speak TEXT [--print] [--out FILE.wav]\n"
    "                               --print: the text as it will be spoken and its phonemes;\n"
    "                               --out: the message's WAV and MP3 files\n"
    "       Heraldo --audit FROM TO      every decision (played, refused, failed) as UTF-8 CSV;\n"
    "                               FROM and TO are dates (2026-12-01) or times (\"2026-12-01 08:30:00\")\n"
    "       Heraldo --version\n"
    "--metrics serves Prometheus metrics at /metrics and a status page at / on that\n"
    "address, such as 127.0.0.1:9814 (off unless given).\n"
    "Settings (SMS.ini, SMServer.ini), log.txt and temp/ live in the program's\n"
    "directory, or in $HERALDO_HOME when it is set.\n";

}  // namespace

int main(int argc, char** argv) {
  if (auto speak = ParseSpeakRequest(argc, argv)) return SpeakOnce(*speak);
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("Heraldo %s\n", kQuillonVersion);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--audit") == 0) {
    if (argc != 4) {
      std::fprintf(stderr, "Heraldo: --audit takes FROM and TO\n%s", kUsage);
      return 2;
    }
    return ExportAudit(argv[2], argv[3], std::cout, std::cerr);
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::string error;
  std::optional<RunOptions> run = ParseRunOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!run) {
    std::fprintf(stderr, "Heraldo: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (run->headless) return RunHeadlessGateway(run->metrics);
  if (!DisplayAvailable()) {
    std::fputs(
        "Heraldo: no display found (DISPLAY and WAYLAND_DISPLAY are not set); Heraldo --headless runs without one\n",
        stderr);
    return 2;
  }
  return RunWindowedGateway(argc, argv, run->metrics);
}
