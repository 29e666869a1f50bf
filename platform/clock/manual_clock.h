// A clock that moves only when told to, for tests.
#pragma once

#include "platform/clock/clock.h"

class ManualClock final : public Clock {
 public:
  explicit ManualClock(std::time_t start = 0) : wall(start) {}

  std::time_t WallNow() const override { return wall; }
  Monotonic::time_point MonotonicNow() const override { return monotonic; }

  // Moves both times forward.
  void Advance(std::chrono::seconds by) {
    wall += by.count();
    monotonic += by;
  }

  std::time_t wall;
  Monotonic::time_point monotonic{};
};
