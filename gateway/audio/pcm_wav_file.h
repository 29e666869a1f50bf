// Reading and writing 16-bit PCM WAV files whole, for processing a
// message's speech after it was spoken.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct PcmWav {
  int channels = 0;
  uint32_t sampleRate = 0;
  std::vector<int16_t> samples;  // interleaved
};

// Nothing when the file is missing, is not RIFF WAVE, or is not 16-bit PCM.
std::optional<PcmWav> ReadPcmWav(const std::string& path);
// A canonical 44-byte header, then the samples. False on any write failure.
bool WritePcmWav(const std::string& path, const PcmWav& wav);
