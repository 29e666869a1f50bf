#include "platform/lame_enc/info_frame.h"

#include <algorithm>
#include <cstring>

#include "platform/lame_enc/mp3_frame.h"

namespace lame_enc {
namespace {

// Flags of the Xing/Info header: frame count, byte count and seek table follow.
constexpr uint32_t kFramesFlag = 1;
constexpr uint32_t kBytesFlag = 2;
constexpr uint32_t kTocFlag = 4;
constexpr size_t kTocEntries = 100;

void PutBe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

bool AllZero(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

bool IsReserved(std::span<const uint8_t> frame, size_t tagOffset) {
  if (AllZero(frame.subspan(4))) return true;
  std::span<const uint8_t> tag = frame.subspan(tagOffset, 4);
  bool tagged = std::memcmp(tag.data(), "Info", 4) == 0 || std::memcmp(tag.data(), "Xing", 4) == 0;
  return tagged && AllZero(frame.subspan(4, tagOffset - 4));
}

}  // namespace

std::optional<InfoFrame> BuildInfoFrame(std::span<const uint8_t> file) {
  const size_t start = Id3v2Length(file);
  if (start >= file.size()) return std::nullopt;
  std::optional<FrameHeader> first = ParseLayer3Header(file.subspan(start));
  if (!first || start + first->frameLength > file.size()) return std::nullopt;
  const size_t tagOffset = 4 + (first->crc ? 2 : 0) + first->sideInfoLength;
  // The tag with its 120 bytes must fit; every Layer III frame of 32 kbit/s
  // and up leaves room.
  if (tagOffset + 4 + 12 + kTocEntries > first->frameLength) return std::nullopt;
  std::span<const uint8_t> frame = file.subspan(start, first->frameLength);
  if (!IsReserved(frame, tagOffset)) return std::nullopt;

  std::vector<size_t> audioFrames;
  bool constant = true;
  int firstAudioRate = 0;
  size_t position = start + first->frameLength;
  uint8_t audioFlags[2] = {frame[2], frame[3]};
  while (position < file.size()) {
    std::optional<FrameHeader> header = ParseLayer3Header(file.subspan(position));
    if (!header || position + header->frameLength > file.size()) break;  // trailing tag or damage
    if (audioFrames.empty()) {
      firstAudioRate = header->bitrateKbps;
      audioFlags[0] = file[position + 2];
      audioFlags[1] = file[position + 3];
    }
    constant = constant && header->bitrateKbps == firstAudioRate;
    audioFrames.push_back(position);
    position += header->frameLength;
  }
  const size_t streamBytes = position - start;

  InfoFrame info{start, std::vector<uint8_t>(frame.begin(), frame.begin() + 4)};
  info.bytes.resize(frame.size(), 0);
  // The reserved frame's header carries no private, copyright or original
  // bit and no channel mode of its own; give it those of the audio.
  info.bytes[2] = static_cast<uint8_t>((info.bytes[2] & ~1u) | (audioFlags[0] & 1u));
  info.bytes[3] = audioFlags[1];
  uint8_t* tag = info.bytes.data() + tagOffset;
  std::memcpy(tag, constant ? "Info" : "Xing", 4);
  PutBe32(tag + 4, kFramesFlag | kBytesFlag | kTocFlag);
  PutBe32(tag + 8, static_cast<uint32_t>(audioFrames.size()));
  PutBe32(tag + 12, static_cast<uint32_t>(streamBytes));
  // Entry i: where the frame at i percent of the playing time starts, in
  // 256ths of the stream.
  for (size_t i = 0; i < kTocEntries && !audioFrames.empty(); ++i) {
    size_t offset = audioFrames[i * audioFrames.size() / kTocEntries] - start;
    tag[16 + i] = static_cast<uint8_t>(std::min<size_t>(255, offset * 256 / streamBytes));
  }
  return info;
}

}  // namespace lame_enc
