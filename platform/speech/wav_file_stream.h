// The audio stream that writes a RIFF WAV file.
#pragma once

#include <memory>

#include "platform/speech/speech_api.h"

namespace speech {

// An unbound stream; bound, it writes 16-bit PCM behind the canonical
// 44-byte header (format tag 1, no extra format bytes).
std::unique_ptr<AudioStream> MakeWavFileStream();

}  // namespace speech
