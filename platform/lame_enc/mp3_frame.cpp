#include "platform/lame_enc/mp3_frame.h"

namespace lame_enc {
namespace {

constexpr int kBitratesMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1};
constexpr int kBitratesMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1};
constexpr int kRatesMpeg1[4] = {44100, 48000, 32000, -1};

}  // namespace

std::optional<FrameHeader> ParseLayer3Header(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
  int versionBits = (bytes[1] >> 3) & 3;
  int layerBits = (bytes[1] >> 1) & 3;
  if (versionBits == 1 || layerBits != 1) return std::nullopt;  // reserved version; not Layer III
  FrameHeader header;
  header.version = versionBits == 3 ? MpegVersion::Mpeg1 : versionBits == 2 ? MpegVersion::Mpeg2 : MpegVersion::Mpeg25;
  bool mpeg1 = header.version == MpegVersion::Mpeg1;
  int bitrateIndex = bytes[2] >> 4;
  int rateIndex = (bytes[2] >> 2) & 3;
  header.bitrateKbps = (mpeg1 ? kBitratesMpeg1 : kBitratesMpeg2)[bitrateIndex];
  int rate = kRatesMpeg1[rateIndex];
  if (header.bitrateKbps <= 0 || rate < 0) return std::nullopt;
  header.sampleRate = mpeg1 ? rate : header.version == MpegVersion::Mpeg2 ? rate / 2 : rate / 4;
  header.crc = (bytes[1] & 1) == 0;
  header.padding = (bytes[2] >> 1) & 1;
  header.mode = bytes[3] >> 6;
  bool mono = header.mode == 3;
  // 1152 samples a frame for MPEG-1, 576 otherwise: 144 or 72 bytes per
  // kbit/s per kHz.
  size_t perSecond = (mpeg1 ? 144000u : 72000u) * static_cast<size_t>(header.bitrateKbps);
  header.frameLength = perSecond / static_cast<size_t>(header.sampleRate) + (header.padding ? 1 : 0);
  header.sideInfoLength = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  return header;
}

size_t Id3v2Length(std::span<const uint8_t> bytes) {
  if (bytes.size() < 10 || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return 0;
  size_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (bytes[i] & 0x80) return 0;  // not a syncsafe size: no tag
    size = (size << 7) | bytes[i];
  }
  bool footer = bytes[5] & 0x10;
  return 10 + size + (footer ? 10 : 0);
}

}  // namespace lame_enc
