// The time the programs read: calendar time for stamps and schedules, and a
// monotonic time for intervals and periods. Behind one interface so that a
// test chooses the moment. The simulated installation's time scale stays
// one process-wide setting (QUILLON_TIME_SCALE, see timescale.h): it shapes
// the system clock's monotonic time, never the calendar.
#pragma once

#include <chrono>
#include <ctime>

class Clock {
 public:
  using Monotonic = std::chrono::steady_clock;

  Clock() = default;
  virtual ~Clock() = default;
  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;

  // Seconds since the epoch, as time() reads them; -1 when the system
  // cannot tell.
  virtual std::time_t WallNow() const = 0;
  // Nominal monotonic time: never goes back; under a time scale of 0.1 it
  // runs ten times as fast as real time.
  virtual Monotonic::time_point MonotonicNow() const = 0;
};

// The process's clock. Safe to read from any thread.
const Clock& SystemClock();
