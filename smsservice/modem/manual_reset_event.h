// An event that stays set until reset, as the engine's stop and done
// signals need: any number of waiters see it once it is set.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class ManualResetEvent {
 public:
  void Set() {
    std::lock_guard lock(mutex_);
    set_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
  }
  // True when the event was set within `timeout` (a real duration).
  template <typename Rep, typename Period>
  bool WaitFor(std::chrono::duration<Rep, Period> timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return set_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};
