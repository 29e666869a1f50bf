#include "gateway/audio/loudness.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <ebur128.h>
#include <memory>
#include <numbers>

#include "gateway/audio/pcm_wav_file.h"

namespace {

using Frames = std::vector<float>;  // interleaved, full scale 1.0

constexpr double kGatingBlockSeconds = 0.4;
constexpr double kLookAheadSeconds = 0.005;
constexpr double kReleaseSeconds = 0.04;
// The limiter aims below the ceiling: peaks between samples, and the MP3
// encoder, add a little.
constexpr double kLimiterMarginDb = 1.5;
constexpr int kLevellingRounds = 6;
constexpr double kRoundingMarginDb = 0.05;
constexpr double kLoudnessToleranceLu = 0.2;

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }
double GainToDb(double gain) { return 20.0 * std::log10(gain); }

Frames ToFloat(const std::vector<int16_t>& samples) {
  Frames frames(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) frames[i] = samples[i] / 32768.0f;
  return frames;
}

std::vector<int16_t> ToPcm(const Frames& frames) {
  std::vector<int16_t> samples(frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    samples[i] = static_cast<int16_t>(std::lround(std::clamp(frames[i] * 32768.0f, -32768.0f, 32767.0f)));
  }
  return samples;
}

std::optional<LoudnessMeasure> Measure(const Frames& frames, int channels, uint32_t rate) {
  if (frames.empty() || channels <= 0) return std::nullopt;
  std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> state(
      ebur128_init(static_cast<unsigned>(channels), rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK),
      [](ebur128_state* s) { ebur128_destroy(&s); });
  if (!state) return std::nullopt;
  size_t count = frames.size() / static_cast<size_t>(channels);
  // A block shorter than the gate would measure as silence: repeat it.
  size_t needed = static_cast<size_t>(std::ceil(kGatingBlockSeconds * rate)) + 1;
  size_t fed = 0;
  do {
    if (ebur128_add_frames_float(state.get(), frames.data(), count) != EBUR128_SUCCESS) return std::nullopt;
    fed += count;
  } while (fed < needed);
  double integrated = 0;
  if (ebur128_loudness_global(state.get(), &integrated) != EBUR128_SUCCESS || !std::isfinite(integrated))
    return std::nullopt;
  double peak = 0;
  for (int c = 0; c < channels; ++c) {
    double channelPeak = 0;
    if (ebur128_true_peak(state.get(), static_cast<unsigned>(c), &channelPeak) != EBUR128_SUCCESS) return std::nullopt;
    peak = std::max(peak, channelPeak);
  }
  return LoudnessMeasure{integrated, peak > 0 ? GainToDb(peak) : -HUGE_VAL};
}

// Second-order Butterworth high-pass, run over each channel.
void HighPass(Frames& frames, int channels, uint32_t rate, double cutoff) {
  if (cutoff <= 0 || cutoff >= rate / 2.0) return;
  double w = 2 * std::numbers::pi * cutoff / rate;
  double alpha = std::sin(w) / std::numbers::sqrt2;  // sin(w) / 2Q, Q = 1/sqrt(2)
  double cosw = std::cos(w);
  double a0 = 1 + alpha;
  double b0 = (1 + cosw) / 2 / a0, b1 = -(1 + cosw) / a0, b2 = b0;
  double a1 = -2 * cosw / a0, a2 = (1 - alpha) / a0;
  for (int c = 0; c < channels; ++c) {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t i = static_cast<size_t>(c); i < frames.size(); i += static_cast<size_t>(channels)) {
      double x = frames[i];
      double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1, x1 = x, y2 = y1, y1 = y;
      frames[i] = static_cast<float>(y);
    }
  }
}

// Holds every frame's peak at or below `ceiling`. The gain a frame needs is
// taken as the least over the look-ahead window and then averaged over the
// same window, so it falls smoothly before a peak and never exceeds what
// the peak needs; it recovers with the release time.
void Limit(Frames& frames, int channels, uint32_t rate, double ceiling) {
  size_t count = frames.size() / static_cast<size_t>(channels);
  size_t window = std::max<size_t>(1, static_cast<size_t>(kLookAheadSeconds * rate));
  std::vector<float> needed(count, 1.0f);
  for (size_t n = 0; n < count; ++n) {
    float peak = 0;
    for (int c = 0; c < channels; ++c) peak = std::max(peak, std::fabs(frames[n * channels + c]));
    if (peak > ceiling) needed[n] = static_cast<float>(ceiling / peak);
  }
  // Least need over [n, n + window), by a monotonic queue.
  std::vector<float> least(count);
  std::deque<size_t> queue;
  for (size_t k = count; k-- > 0;) {
    while (!queue.empty() && needed[queue.back()] >= needed[k]) queue.pop_back();
    queue.push_back(k);
    while (queue.front() >= k + window) queue.pop_front();
    least[k] = needed[queue.front()];
  }
  double release = 1 - std::exp(-1.0 / (kReleaseSeconds * rate));
  double sum = 0, gain = 1;
  for (size_t n = 0; n < count; ++n) {
    sum += least[n];
    if (n >= window) sum -= least[n - window];
    double average = (sum + (n + 1 < window ? static_cast<double>(window - n - 1) : 0.0)) / window;
    gain = std::min(average, gain + (1 - gain) * release);
    for (int c = 0; c < channels; ++c) frames[n * channels + c] *= static_cast<float>(gain);
  }
}

void Scale(Frames& frames, double gain) {
  for (float& f : frames) f = static_cast<float>(f * gain);
}

}  // namespace

std::optional<LoudnessMeasure> MeasureLoudness(const std::vector<int16_t>& interleaved, int channels,
                                               uint32_t sampleRate) {
  return Measure(ToFloat(interleaved), channels, sampleRate);
}

std::optional<LoudnessMeasure> NormaliseLoudness(std::vector<int16_t>& interleaved, int channels, uint32_t sampleRate,
                                                 const LoudnessTarget& target) {
  if (channels <= 0 || interleaved.size() < static_cast<size_t>(channels)) return std::nullopt;
  Frames frames = ToFloat(interleaved);
  HighPass(frames, channels, sampleRate, target.highPassHz);
  std::optional<LoudnessMeasure> measure = Measure(frames, channels, sampleRate);
  if (!measure) return std::nullopt;
  // Limiting takes some loudness away, more the more gain there is: each
  // round levels the filtered signal afresh with the gain corrected by what
  // the last round missed.
  const Frames filtered = frames;
  double ceiling = DbToGain(target.truePeakCeilingDbtp - kLimiterMarginDb);
  double gainDb = target.integratedLufs - measure->integratedLufs;
  for (int round = 0; round < kLevellingRounds; ++round) {
    frames = filtered;
    Scale(frames, DbToGain(gainDb));
    Limit(frames, channels, sampleRate, ceiling);
    measure = Measure(frames, channels, sampleRate);
    if (!measure) return std::nullopt;
    double missed = target.integratedLufs - measure->integratedLufs;
    if (std::fabs(missed) < kLoudnessToleranceLu) break;
    gainDb += missed;
  }
  // A peak still over the ceiling costs loudness rather than clipping; the
  // margin covers rounding to 16 bits.
  if (measure->truePeakDbtp > target.truePeakCeilingDbtp - kRoundingMarginDb) {
    Scale(frames, DbToGain(target.truePeakCeilingDbtp - kRoundingMarginDb - measure->truePeakDbtp));
  }
  interleaved = ToPcm(frames);
  return MeasureLoudness(interleaved, channels, sampleRate);
}

std::optional<LoudnessMeasure> NormaliseWavFile(const std::string& path, const LoudnessTarget& target) {
  std::optional<PcmWav> wav = ReadPcmWav(path);
  if (!wav) return std::nullopt;
  std::optional<LoudnessMeasure> measure = NormaliseLoudness(wav->samples, wav->channels, wav->sampleRate, target);
  if (!measure || !WritePcmWav(path, *wav)) return std::nullopt;
  return measure;
}
