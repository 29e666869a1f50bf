// Speaks a message text into a WAV file (44100 Hz, 2 channels, 16 bits)
// with the installed voice described "girl xiaokun".
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/speech/speech_api.h"

// Results of Text2Wav.
enum Text2WavResult : int {
  kText2WavNothingToDo = 0,   // text or path empty
  kText2WavBindFailed = 1,    // the stream could not be bound to the file
  kText2WavOutputFailed = 2,  // the voice's output could not be set to the stream
  kText2WavSpeakFailed = 3,   // speaking the text failed
  kText2WavWritten = 4,
};

class TextToSpeech {
 public:
  // Prepares the engine: a voice at volume 100, a stream, and the voice
  // described "girl xiaokun" (compared without regard to ASCII case; of
  // several such, the one listed last); without one the default voice
  // stays. A step that fails leaves the steps after it undone.
  explicit TextToSpeech(speech::SpeechApi& api = speech::DefaultSpeechApi());
  ~TextToSpeech();
  TextToSpeech(const TextToSpeech&) = delete;
  TextToSpeech& operator=(const TextToSpeech&) = delete;

  // `text` is in the programs' code page (GBK); `wavPath` is handed to the
  // file system as it is. Replaces any file at wavPath. On any result other
  // than kText2WavWritten no file is left at wavPath, so that the encoding
  // step after it has nothing to read. An engine that could not be prepared
  // (no voice, or no stream) gives kText2WavBindFailed.
  int Text2Wav(const std::string& text, const std::string& wavPath);
  // The same for UTF-8 text.
  int SpeakUtf8(const std::string& utf8Text, const std::string& wavPath);
  // What the voice would say for the UTF-8 text, in the engine's phoneme
  // mnemonics; nothing without a voice or when the engine fails.
  std::optional<std::string> Phonemes(const std::string& utf8Text) const;

  // The token the voice speaks with; nullptr when there is no voice.
  const speech::VoiceToken* CurrentVoice() const;

 private:
  std::unique_ptr<speech::Voice> voice_;
  std::unique_ptr<speech::AudioStream> stream_;
  std::string voiceName_;
};
