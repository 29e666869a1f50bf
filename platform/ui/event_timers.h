// Window-style timers for a program without a window: each runs its action
// every period, on the thread that runs the loop, between the apartment's
// events.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

class EventTimers {
 public:
  using Clock = std::chrono::steady_clock;

  void Add(std::chrono::milliseconds period, std::function<void()> action);
  // Runs the calling thread's apartment and the timers until `stop` is set.
  void Run(const std::atomic<bool>& stop);

 private:
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
    std::function<void()> action;
  };
  std::vector<Timer> timers_;
};
