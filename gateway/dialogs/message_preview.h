// "试听": a message spoken on this computer's sound output before it is
// broadcast, as the horns will say it.
#pragma once

#include <string>

enum class PreviewResult {
  Playing,         // the sound is on its way
  NothingToSpeak,  // only pauses, blanks or emoji
  NoSoundOutput,   // the machine has no sound output that takes it
  SpeechFailed,
};

class MessagePreview {
 public:
  virtual ~MessagePreview() = default;
  // `text` is GBK. Returns once the sound has started; it plays on.
  virtual PreviewResult Play(const std::string& text) = 0;
};
