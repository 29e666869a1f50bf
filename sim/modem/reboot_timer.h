// A modem restarting: silent until its time is up, then back at power-up.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

namespace modemsim {

class RebootTimer {
 public:
  // A second start while one runs counts from the new start.
  void Start(int64_t nowMs, int seconds) { endsMs_ = nowMs + int64_t{seconds} * 1000; }
  void Cancel() { endsMs_.reset(); }
  bool Running() const { return endsMs_.has_value(); }
  // Milliseconds until it ends (0: now); -1 when none runs.
  int WaitMs(int64_t nowMs) const { return endsMs_ ? static_cast<int>(std::max<int64_t>(0, *endsMs_ - nowMs)) : -1; }
  // Whether it has just ended; true once, and it no longer runs.
  bool Ended(int64_t nowMs) {
    if (WaitMs(nowMs) != 0) return false;
    endsMs_.reset();
    return true;
  }

 private:
  std::optional<int64_t> endsMs_;
};

}  // namespace modemsim
