// The process's one espeak-ng instance. espeak-ng keeps its state in globals,
// is not thread-safe and wants initialising once per process, so every use
// goes through here, one synthesis at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace speech::espeak {

struct SpeakSettings {
  std::string engineVoice;  // "cmn", "cmn+f3", ...
  int rate = 175;           // words per minute
  int pitch = 50;           // 0 to 99
  int volume = 100;         // 0 to 100, 100 being the engine's normal level
};

// Receives each block of mono 16-bit samples; false stops the synthesis.
using SampleSink = std::function<bool(std::span<const int16_t>)>;

// The engine's output rate, starting the engine on first use; 0 when it
// cannot start (then it is not tried again). Thread-safe.
uint32_t SampleRate();

// Speaks UTF-8 text and returns when all its audio went to `sink`. False
// when the engine is not running, the voice does not exist, synthesis
// fails or the sink refused a block. Thread-safe: callers wait their turn.
bool Synthesize(std::string_view utf8Text, const SpeakSettings& settings, const SampleSink& sink);

// The phoneme mnemonics espeak-ng speaks for the text, as `espeak-ng -x`
// prints them: taken while synthesising (so tone changes between syllables
// show), one line per clause. Nothing when synthesis fails.
std::optional<std::string> Phonemes(std::string_view utf8Text, const SpeakSettings& settings);

}  // namespace speech::espeak
