#include "platform/systemd/service_notifier.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include <systemd/sd-daemon.h>

namespace service_notifier {
namespace {

using Steady = std::chrono::steady_clock;

// A quarter of the interval systemd gave, in microseconds, so that callers
// that come about every second keep well inside it; 0 when it watches nothing.
int64_t PingInterval() {
  static const int64_t interval = [] {
    uint64_t usec = 0;
    return sd_watchdog_enabled(0, &usec) > 0 ? static_cast<int64_t>(usec / 4) : int64_t{0};
  }();
  return interval;
}

int64_t NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Steady::now().time_since_epoch()).count();
}

std::atomic<int64_t> lastPing{INT64_MIN / 2};

}  // namespace

void Ready() { sd_notify(0, "READY=1"); }

void Stopping() { sd_notify(0, "STOPPING=1"); }

void Status(const std::string& text) {
  static std::mutex mutex;
  static std::string last;
  std::lock_guard lock(mutex);
  if (text == last) return;
  last = text;
  sd_notify(0, ("STATUS=" + text).c_str());
}

void Alive() {
  int64_t interval = PingInterval();
  if (interval == 0) return;
  int64_t now = NowMicros();
  int64_t last = lastPing.load();
  // One thread wins the exchange and pings; the others see it done.
  if (now - last < interval || !lastPing.compare_exchange_strong(last, now)) return;
  sd_notify(0, "WATCHDOG=1");
}

}  // namespace service_notifier
