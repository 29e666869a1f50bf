// MPEG audio frame headers, as far as finding and sizing Layer III frames
// needs. The 4 header bytes, most significant bit first:
//
//   sync 11 | version 2 | layer 2 | no CRC 1 | bitrate 4 | rate 2 |
//   padding 1 | private 1 | mode 2 | mode extension 2 | copyright 1 |
//   original 1 | emphasis 2
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace lame_enc {

enum class MpegVersion { Mpeg1, Mpeg2, Mpeg25 };

struct FrameHeader {
  MpegVersion version;
  int bitrateKbps;
  int sampleRate;
  bool crc;
  bool padding;
  int mode;            // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  size_t frameLength;  // bytes, header included
  size_t sideInfoLength;
};

// A Layer III header with a listed bit rate (not free format) and a valid
// sample rate at the start of `bytes`; nullopt for anything else.
std::optional<FrameHeader> ParseLayer3Header(std::span<const uint8_t> bytes);

// Size of an ID3v2 tag at the start of `bytes` (header, footer included),
// 0 when there is none.
size_t Id3v2Length(std::span<const uint8_t> bytes);

}  // namespace lame_enc
