// The WAV file stream. The header is the canonical 44 bytes, all fields
// little-endian:
//
//   0  "RIFF"   4  RIFF size (file size - 8)   8  "WAVE"
//   12 "fmt "   16 16 (format chunk size)      20 1 (PCM)   22 channels
//   24 samples per second   28 bytes per second   32 block align
//   34 bits per sample
//   36 "data"   40 data size   44 samples
//
// The sizes are written as 0 when the file is bound and filled in by Close,
// so a file whose writer died midway reads as holding no audio.
#include "platform/speech/wav_file_stream.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>

namespace speech {
namespace {

constexpr size_t kHeaderSize = 44;

void PutLe16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void FillHeader(uint8_t* header, const WaveFormat& format, uint32_t dataBytes) {
  std::memcpy(header, "RIFF", 4);
  PutLe32(header + 4, dataBytes + kHeaderSize - 8);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  PutLe32(header + 16, 16);
  PutLe16(header + 20, 1);
  PutLe16(header + 22, format.channels);
  PutLe32(header + 24, format.samplesPerSecond);
  PutLe32(header + 28, format.BytesPerSecond());
  PutLe16(header + 32, format.BlockAlign());
  PutLe16(header + 34, format.bitsPerSample);
  std::memcpy(header + 36, "data", 4);
  PutLe32(header + 40, dataBytes);
}

class WavFileStream : public AudioStream {
 public:
  ~WavFileStream() override { Close(); }

  bool BindToFile(const std::string& path, const WaveFormat& format) override {
    Close();
    if (format.bitsPerSample != 16 || format.channels < 1 || format.channels > 2 || format.samplesPerSecond == 0) {
      return false;
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    format_ = format;
    dataBytes_ = 0;
    failed_ = false;
    uint8_t header[kHeaderSize];
    FillHeader(header, format_, 0);
    failed_ = std::fwrite(header, 1, kHeaderSize, file_) != kHeaderSize;
    return true;
  }

  bool IsBound() const override { return file_ != nullptr; }
  WaveFormat Format() const override { return format_; }

  bool Write(std::span<const int16_t> samples) override {
    if (!file_ || failed_ || samples.size() % format_.channels != 0) return false;
    uint64_t bytes = samples.size_bytes();
    // The RIFF sizes are 32 bits; refuse what they could not describe.
    if (dataBytes_ + bytes > std::numeric_limits<uint32_t>::max() - kHeaderSize) {
      failed_ = true;
      return false;
    }
    if constexpr (std::endian::native == std::endian::little) {
      failed_ = std::fwrite(samples.data(), 1, bytes, file_) != bytes;
    } else {
      for (int16_t sample : samples) {
        uint8_t le[2];
        PutLe16(le, static_cast<uint16_t>(sample));
        if (std::fwrite(le, 1, 2, file_) != 2) failed_ = true;
      }
    }
    dataBytes_ += static_cast<uint32_t>(bytes);
    return !failed_;
  }

  bool Close() override {
    if (!file_) return true;
    uint8_t header[kHeaderSize];
    FillHeader(header, format_, dataBytes_);
    bool ok =
        !failed_ && std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(header, 1, kHeaderSize, file_) == kHeaderSize;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
  }

 private:
  std::FILE* file_ = nullptr;
  WaveFormat format_;
  uint32_t dataBytes_ = 0;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<AudioStream> MakeWavFileStream() { return std::make_unique<WavFileStream>(); }

}  // namespace speech
