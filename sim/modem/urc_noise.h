// Unsolicited lines a modem sends at moments of its own choosing ("^RSSI",
// "+CREG"), for clients that must pick their replies out of the noise. The
// moments and the lines come from a seeded generator, so that a failing run
// can be repeated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace modemsim {

class UrcNoise {
 public:
  static constexpr uint32_t kDefaultSeed = 1;

  // A line every `everyMs` on average, 0 for none; starts the sequence over.
  void Start(int everyMs, uint32_t seed);
  bool On() const { return everyMs_ > 0; }
  int EveryMs() const { return everyMs_; }
  // Milliseconds until the next moment (0: now); -1 when off. The first
  // call after Start picks the first moment.
  int WaitMs(int64_t nowMs);
  // Whether a moment has come; each one answers true once.
  bool Due(int64_t nowMs);
  // "^RSSI: <signal>" or "+CREG: <registration>", framed, chosen at random.
  std::string Line(int signal, int registration);
  // A random number below `count` (which must be positive).
  size_t Below(size_t count) { return random_() % count; }

 private:
  int everyMs_ = 0;
  std::mt19937 random_{kDefaultSeed};
  std::optional<int64_t> nextMs_;
};

}  // namespace modemsim
