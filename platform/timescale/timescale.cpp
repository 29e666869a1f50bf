#include "platform/timescale/timescale.h"

#include <cstdlib>
#include <thread>

namespace timescale {
namespace {

double ReadFactor() {
  const char* text = std::getenv("QUILLON_TIME_SCALE");
  if (text == nullptr) return 1.0;
  char* end = nullptr;
  double factor = std::strtod(text, &end);
  return (end != text && factor > 0.0 && factor <= 1.0) ? factor : 1.0;
}

const Clock::time_point kEpoch = Clock::now();

}  // namespace

double Factor() {
  static const double factor = ReadFactor();
  return factor;
}

std::chrono::microseconds Real(std::chrono::microseconds nominal) {
  return std::chrono::microseconds(static_cast<long long>(nominal.count() * Factor()));
}

void Sleep(std::chrono::milliseconds nominal) { std::this_thread::sleep_for(Real(nominal)); }

Clock::time_point Now() {
  auto real = Clock::now() - kEpoch;
  return kEpoch + std::chrono::duration_cast<Clock::duration>(real / Factor());
}

long ElapsedSeconds(Clock::time_point start, Clock::time_point now) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now - start).count());
}

}  // namespace timescale
