// A sound file as the file stream plays it: its MPEG audio frames, each
// with the time it lasts, read with libmpg123 so that only what a decoder
// accepts counts as playable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace broadcast_components {

class Mp3File {
 public:
  struct Frame {
    uint32_t durationUs;
    size_t offset;  // into the frame bytes
    size_t size;
  };

  // Reads every frame of the file at `path` (bytes of a file name). Null,
  // with the reason in *error, when the file cannot be opened or holds no
  // MPEG audio frame.
  static std::shared_ptr<const Mp3File> Read(const std::string& path, std::string* error);

  const std::vector<Frame>& Frames() const { return frames_; }
  // The whole frame, header included, as it stands in the file.
  std::span<const uint8_t> Bytes(const Frame& frame) const { return {bytes_.data() + frame.offset, frame.size}; }
  uint64_t DurationUs() const;

 private:
  std::vector<Frame> frames_;
  std::vector<uint8_t> bytes_;
};

}  // namespace broadcast_components
