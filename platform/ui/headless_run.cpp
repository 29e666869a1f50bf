#include "headless_run.h"

#include <signal.h>
#include <syslog.h>

#include <cstdio>

namespace {

std::atomic<bool> stopRequested{false};

void RequestStop(int) { stopRequested = true; }

}  // namespace

const std::atomic<bool>& StopOnTerminationSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  return stopRequested;
}

void ReportLine(const std::string& utf8) {
  std::printf("%s\n", utf8.c_str());
  std::fflush(stdout);
  syslog(LOG_INFO, "%s", utf8.c_str());
}
