#include "platform/log/activity_log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <syslog.h>

namespace activity_log {
namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
bool toStandardOutput = false;

}  // namespace

void ToStandardOutput() { toStandardOutput = true; }

void ToSyslog(const char* ident) {
  toStandardOutput = false;
  ::openlog(ident, LOG_PID, LOG_DAEMON);
}

void Log(int priority, const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (!toStandardOutput) {
    ::syslog(priority, "%s", line);
    return;
  }
  // The time of day in front, as a shell user reading along expects.
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
  std::lock_guard<std::mutex> hold(Lock());
  std::printf("%s %s\n", stamp, line);
  std::fflush(stdout);
}

}  // namespace activity_log
