#include "platform/ui/headless_run.h"

#include <cstdio>
#include <syslog.h>

void ReportLine(const std::string& utf8) {
  std::printf("%s\n", utf8.c_str());
  std::fflush(stdout);
  syslog(LOG_INFO, "%s", utf8.c_str());
}
