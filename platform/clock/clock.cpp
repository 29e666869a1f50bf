#include "platform/clock/clock.h"

#include "platform/timescale/timescale.h"

namespace {

class ProcessClock final : public Clock {
 public:
  std::time_t WallNow() const override { return std::time(nullptr); }
  Monotonic::time_point MonotonicNow() const override { return timescale::Now(); }
};

}  // namespace

const Clock& SystemClock() {
  static const ProcessClock clock;
  return clock;
}
