// One loudness for every message: a gentle high-pass that spares horn
// speakers the lows they cannot play, then gain to a target integrated
// loudness (EBU R128, measured with libebur128), with the peaks that gain
// would push past the ceiling held down by a look-ahead limiter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct LoudnessTarget {
  double integratedLufs = -16;
  double highPassHz = 200;  // 0: no filter
  double truePeakCeilingDbtp = -1;
};

struct LoudnessMeasure {
  double integratedLufs;
  double truePeakDbtp;
};

// EBU R128 integrated loudness and true peak of interleaved 16-bit PCM.
// Audio shorter than one 400 ms gating block is measured as if it were
// repeated. Nothing for silence or when the measurement cannot be made.
std::optional<LoudnessMeasure> MeasureLoudness(const std::vector<int16_t>& interleaved, int channels,
                                               uint32_t sampleRate);

// Filters and levels `interleaved` in place and returns its new measure;
// nothing, leaving the samples as they were, for silence.
std::optional<LoudnessMeasure> NormaliseLoudness(std::vector<int16_t>& interleaved, int channels, uint32_t sampleRate,
                                                 const LoudnessTarget& target);

// The same for a 16-bit PCM WAV file, rewritten in place. Nothing when the
// file cannot be read as such, is silent, or cannot be written back.
std::optional<LoudnessMeasure> NormaliseWavFile(const std::string& path, const LoudnessTarget& target);
