// The one-second clock that decides when a report is due. It runs on a
// thread of its own, touches only its copy of the report times, and tells
// the user-interface thread through `post`.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "monitor/settings/monitor_settings.h"
#include "platform/clock/clock.h"

class ReportClock {
 public:
  // `post` is called on the clock's thread, once per due time point; the
  // calendar time comes from `clock`.
  explicit ReportClock(std::function<void()> post, const Clock& clock = SystemClock());
  ~ReportClock();
  ReportClock(const ReportClock&) = delete;
  ReportClock& operator=(const ReportClock&) = delete;

  // Replaces the report times (start-up, and each confirmed settings dialog).
  void SetSchedule(const std::vector<ReportTimePoint>& times);
  // Starts the 1 s ticks with the current second as the last one examined.
  void Start();
  void Stop();

  // One tick at calendar time `now`: examines every second since the last
  // one (only the current one after a gap of more than 60 s) and posts for
  // each time point that falls on one of them.
  void Tick(std::time_t now);
  void ResetLastSecond(std::time_t now);

 private:
  std::function<void()> post_;
  const Clock& clock_;
  std::mutex scheduleLock_;
  std::vector<TimeOfDay> reportSchedule_;
  std::time_t lastSecond_ = 0;
  std::atomic<bool> running_{false};
  std::thread thread_;
};
