// Sample-rate conversion for the speech engine's mono output: a
// windowed-sinc polyphase filter fed a block at a time, so a long text never
// needs its whole audio in memory.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace speech {

class Resampler {
 public:
  // Both rates in samples per second, not 0.
  Resampler(uint32_t inRate, uint32_t outRate);

  // Appends to `output` every sample that `input` completes.
  void Process(std::span<const int16_t> input, std::vector<int16_t>& output);
  // Appends the rest. In all, n input samples give ceil(n * outRate / inRate)
  // output samples, output sample k standing for input time k * inRate /
  // outRate (no delay).
  void Finish(std::vector<int16_t>& output);

 private:
  void PhaseCoefficients(uint32_t phase, float* coefficients) const;
  void Produce(uint64_t limit, std::vector<int16_t>& output);

  uint32_t up_;    // outRate / gcd
  uint32_t down_;  // inRate / gcd
  int halfTaps_;
  double cutoff_;             // relative to the input's Nyquist frequency
  std::vector<float> table_;  // up_ phases of 2 * halfTaps_ coefficients; empty when too big
  // Per tabled phase: the tap that alone makes the output, or -1. Upsampling
  // by a whole factor has such phases (the input samples themselves), and
  // skipping their arithmetic halves the work of the common 2x case.
  std::vector<int> soleTap_;
  std::vector<float> scratch_;  // one phase, when there is no table
  std::vector<float> history_;
  int64_t historyStart_;  // input index of history_[0]; negative indices are silence
  uint64_t inputCount_ = 0;
  uint64_t nextOutput_ = 0;
};

}  // namespace speech
