#include "sim/modem/urc_noise.h"

#include <algorithm>

namespace modemsim {

void UrcNoise::Start(int everyMs, uint32_t seed) {
  everyMs_ = std::max(everyMs, 0);
  random_.seed(seed);
  nextMs_.reset();
}

int UrcNoise::WaitMs(int64_t nowMs) {
  if (!On()) return -1;
  // Gaps spread evenly over 0..2M average M, and none is ever long.
  if (!nextMs_) nextMs_ = nowMs + static_cast<int64_t>(Below(2 * static_cast<size_t>(everyMs_) + 1));
  return static_cast<int>(std::max<int64_t>(0, *nextMs_ - nowMs));
}

bool UrcNoise::Due(int64_t nowMs) {
  if (WaitMs(nowMs) != 0) return false;
  nextMs_.reset();
  WaitMs(nowMs);
  return true;
}

std::string UrcNoise::Line(int signal, int registration) {
  if (random_() % 2 == 0) return "\r\n^RSSI: " + std::to_string(signal) + "\r\n";
  return "\r\n+CREG: " + std::to_string(registration) + "\r\n";
}

}  // namespace modemsim
