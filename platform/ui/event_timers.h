// Window-style timers for a program without a window: each runs its action
// every period, on the thread that runs the loop, between the apartment's
// events. Periods are nominal: they follow the clock's monotonic time.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "platform/clock/clock.h"

class EventTimers {
 public:
  explicit EventTimers(const Clock& clock = SystemClock()) : clock_(clock) {}

  void Add(std::chrono::milliseconds period, std::function<void()> action);
  // Runs the calling thread's apartment and the timers until `stopRequested`
  // answers true; it is asked at least every 100 ms.
  void Run(const std::function<bool()>& stopRequested);

 private:
  struct Timer {
    std::chrono::milliseconds period;
    Clock::Monotonic::time_point due;
    std::function<void()> action;
  };
  const Clock& clock_;
  std::vector<Timer> timers_;
};
