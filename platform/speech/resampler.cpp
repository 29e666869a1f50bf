#include "platform/speech/resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace speech {
namespace {

// Taps each side of the centre at the input rate: enough to keep aliasing
// of speech below what 16-bit samples resolve, cheap enough that the filter
// costs a few milliseconds per second of audio.
constexpr int kHalfTapsAtInputRate = 16;
// Phases beyond this are computed per sample instead of tabled; only odd
// rate pairs need that many.
constexpr uint32_t kMaxTabledPhases = 1024;

double Sinc(double x) {
  if (x == 0) return 1;
  double a = std::numbers::pi * x;
  return std::sin(a) / a;
}

// Blackman window over [-1, 1].
double Window(double x) {
  if (x <= -1 || x >= 1) return 0;
  double a = std::numbers::pi * (x + 1);
  return 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
}

int16_t ToSample(float value) {
  value = std::clamp(value, -32768.0f, 32767.0f);
  return static_cast<int16_t>(value + (value >= 0 ? 0.5f : -0.5f));
}

// Four independent sums: the compiler may not reorder one floating-point
// sum, but it can run four side by side in one vector register.
float Dot(const float* samples, const float* coefficients, int taps) {
  float sums[4] = {0, 0, 0, 0};
  int t = 0;
  for (; t + 4 <= taps; t += 4) {
    for (int k = 0; k < 4; ++k) sums[k] += samples[t + k] * coefficients[t + k];
  }
  for (; t < taps; ++t) sums[0] += samples[t] * coefficients[t];
  return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

}  // namespace

Resampler::Resampler(uint32_t inRate, uint32_t outRate) {
  uint32_t divisor = std::gcd(inRate, outRate);
  up_ = outRate / divisor;
  down_ = inRate / divisor;
  // Going down, the pass band shrinks to the output's Nyquist frequency and
  // the kernel widens with it.
  cutoff_ = std::min(1.0, static_cast<double>(up_) / down_);
  halfTaps_ = static_cast<int>(std::ceil(kHalfTapsAtInputRate / cutoff_));
  history_.assign(halfTaps_ - 1, 0.0f);
  historyStart_ = -(halfTaps_ - 1);
  if (up_ <= kMaxTabledPhases) {
    const int taps = 2 * halfTaps_;
    table_.resize(static_cast<size_t>(up_) * taps);
    soleTap_.assign(up_, -1);
    for (uint32_t phase = 0; phase < up_; ++phase) {
      float* coefficients = table_.data() + static_cast<size_t>(phase) * taps;
      PhaseCoefficients(phase, coefficients);
      int ones = 0, zeros = 0, one = -1;
      for (int tap = 0; tap < taps; ++tap) {
        float c = coefficients[tap];
        if (std::abs(c - 1) < 1e-6f) {
          ++ones;
          one = tap;
        } else if (std::abs(c) < 1e-6f) {
          ++zeros;
        }
      }
      if (ones == 1 && zeros == taps - 1) soleTap_[phase] = one;
    }
  } else {
    scratch_.resize(2 * halfTaps_);
  }
}

// Tap t weighs input sample i - halfTaps_ + 1 + t for an output at input
// time i + phase / up_. Each phase is normalised so that a constant level
// keeps its value.
void Resampler::PhaseCoefficients(uint32_t phase, float* coefficients) const {
  const int taps = 2 * halfTaps_;
  std::vector<double> raw(taps);
  double sum = 0;
  for (int t = 0; t < taps; ++t) {
    double distance = static_cast<double>(phase) / up_ + halfTaps_ - 1 - t;
    raw[t] = cutoff_ * Sinc(cutoff_ * distance) * Window(distance / halfTaps_);
    sum += raw[t];
  }
  for (int t = 0; t < taps; ++t) coefficients[t] = static_cast<float>(raw[t] / sum);
}

void Resampler::Process(std::span<const int16_t> input, std::vector<int16_t>& output) {
  history_.insert(history_.end(), input.begin(), input.end());
  inputCount_ += input.size();
  Produce(UINT64_MAX, output);
}

void Resampler::Finish(std::vector<int16_t>& output) {
  history_.insert(history_.end(), halfTaps_, 0.0f);
  Produce((inputCount_ * up_ + down_ - 1) / down_, output);
  history_.assign(halfTaps_ - 1, 0.0f);
  historyStart_ = -(halfTaps_ - 1);
  inputCount_ = 0;
  nextOutput_ = 0;
}

void Resampler::Produce(uint64_t limit, std::vector<int16_t>& output) {
  const int64_t historyEnd = historyStart_ + static_cast<int64_t>(history_.size());
  const int taps = 2 * halfTaps_;
  for (; nextOutput_ < limit; ++nextOutput_) {
    uint64_t position = nextOutput_ * down_;
    int64_t index = static_cast<int64_t>(position / up_);
    uint32_t phase = static_cast<uint32_t>(position % up_);
    if (index + halfTaps_ >= historyEnd) break;
    const float* samples = history_.data() + (index - halfTaps_ + 1 - historyStart_);
    float value = 0;
    if (table_.empty()) {
      PhaseCoefficients(phase, scratch_.data());
      value = Dot(samples, scratch_.data(), taps);
    } else if (soleTap_[phase] >= 0) {
      value = samples[soleTap_[phase]];
    } else {
      value = Dot(samples, table_.data() + static_cast<size_t>(phase) * taps, taps);
    }
    output.push_back(ToSample(value));
  }
  // Keep only what the next output still reaches back to.
  int64_t keepFrom = static_cast<int64_t>(nextOutput_ * down_ / up_) - halfTaps_ + 1;
  if (keepFrom > historyStart_) {
    size_t drop = static_cast<size_t>(std::min<int64_t>(keepFrom - historyStart_, history_.size()));
    history_.erase(history_.begin(), history_.begin() + drop);
    historyStart_ += static_cast<int64_t>(drop);
  }
}

}  // namespace speech
