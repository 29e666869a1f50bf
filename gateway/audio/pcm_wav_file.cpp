#include "gateway/audio/pcm_wav_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

uint32_t Le(const std::vector<char>& b, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(b[at + i]);
  return value;
}

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

}  // namespace

std::optional<PcmWav> ReadPcmWav(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(&bytes[8], "WAVE", 4) != 0)
    return std::nullopt;
  PcmWav wav;
  bool haveFormat = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    uint32_t size = Le(bytes, at + 4, 4);
    size_t body = at + 8;
    size_t available = std::min<size_t>(size, bytes.size() - body);
    if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && available >= 16) {
      if (Le(bytes, body, 2) != 1 || Le(bytes, body + 14, 2) != 16) return std::nullopt;
      wav.channels = static_cast<int>(Le(bytes, body + 2, 2));
      wav.sampleRate = Le(bytes, body + 4, 4);
      haveFormat = wav.channels > 0 && wav.sampleRate > 0;
    } else if (std::memcmp(&bytes[at], "data", 4) == 0 && haveFormat) {
      wav.samples.resize(available / 2 / wav.channels * wav.channels);
      std::memcpy(wav.samples.data(), &bytes[body], wav.samples.size() * 2);
      return wav;
    }
    at = body + size + (size & 1);
  }
  return std::nullopt;
}

bool WritePcmWav(const std::string& path, const PcmWav& wav) {
  uint32_t dataBytes = static_cast<uint32_t>(wav.samples.size() * 2);
  uint16_t blockAlign = static_cast<uint16_t>(wav.channels * 2);
  std::string header = "RIFF";
  PutLe(header, 36 + dataBytes, 4);
  header += "WAVEfmt ";
  PutLe(header, 16, 4);
  PutLe(header, 1, 2);
  PutLe(header, wav.channels, 2);
  PutLe(header, wav.sampleRate, 4);
  PutLe(header, wav.sampleRate * blockAlign, 4);
  PutLe(header, blockAlign, 2);
  PutLe(header, 16, 2);
  header += "data";
  PutLe(header, dataBytes, 4);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  out.write(reinterpret_cast<const char*>(wav.samples.data()), dataBytes);
  out.close();
  return static_cast<bool>(out);
}
