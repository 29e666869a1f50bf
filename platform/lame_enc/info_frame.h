// The information frame worked out from an MP3 file alone, for callers that
// no longer have the encoder stream.
//
// The first frame of the stream must be one the encoder reserved for it:
// silent (nothing after the header) or already holding an information
// frame. The frame gets the "Info" tag (or "Xing" when the bit rate varies)
// with the frame count, the byte count and a seek table, the fields a player
// needs for the length and seeking. What only the encoder knew (its delay
// and padding for gapless playback, the ReplayGain and the LAME extension
// with its checksums) is left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lame_enc {

struct InfoFrame {
  size_t offset;               // of the first frame in the file
  std::vector<uint8_t> bytes;  // its new contents, same length
};

// nullopt when the file does not start (after any ID3v2 tag) with a Layer
// III frame, or that frame is not reserved.
std::optional<InfoFrame> BuildInfoFrame(std::span<const uint8_t> file);

}  // namespace lame_enc
