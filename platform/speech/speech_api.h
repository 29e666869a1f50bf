// The speech interface under the gateway's text-to-speech step, shaped like
// the platform speech API the gateway was written for: a voice that speaks
// text into an output stream, a stream bound to a WAV file, and the
// enumeration of installed voice tokens (voice_catalogue.h).
//
// One implementation speaks with espeak-ng; a test puts its own SpeechApi,
// or a wrapper around the real one, in its place to inject faults. Voices
// and streams are used by one thread at a time; different voices may speak
// on different threads (the engine is shared and serialised inside).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech/voice_catalogue.h"

namespace speech {

// Linear PCM with interleaved channels.
struct WaveFormat {
  uint16_t channels = 2;
  uint32_t samplesPerSecond = 44100;
  uint16_t bitsPerSample = 16;

  uint16_t BlockAlign() const { return static_cast<uint16_t>(channels * bitsPerSample / 8); }
  uint32_t BytesPerSecond() const { return samplesPerSecond * BlockAlign(); }
  friend bool operator==(const WaveFormat&, const WaveFormat&) = default;
};

// An output stream of audio samples.
class AudioStream {
 public:
  AudioStream() = default;
  virtual ~AudioStream() = default;
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;

  // Creates the file anew (an existing one is truncated) for audio in
  // `format`, closing any earlier binding first. False, leaving the stream
  // unbound, when the file cannot be created or the format is not 16-bit PCM
  // with one or two channels.
  virtual bool BindToFile(const std::string& path, const WaveFormat& format) = 0;
  virtual bool IsBound() const = 0;
  // The bound format; meaningless while unbound.
  virtual WaveFormat Format() const = 0;
  // Appends whole frames of interleaved samples. False when unbound, when
  // the count is not a whole number of frames, or on a short write.
  virtual bool Write(std::span<const int16_t> samples) = 0;
  // Completes the file and unbinds. True when the stream was unbound or
  // every write and the completion succeeded.
  virtual bool Close() = 0;
};

class Voice {
 public:
  Voice() = default;
  virtual ~Voice() = default;
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  // 0 (silent) to 100 (full, the engine's normal level); false, keeping the
  // old volume, outside that range.
  virtual bool SetVolume(int volume) = 0;
  virtual int Volume() const = 0;
  // The token takes effect at the next Speak; an engine voice that does not
  // exist makes that Speak fail.
  virtual void SetVoice(const VoiceToken& token) = 0;
  virtual const VoiceToken& CurrentVoice() const = 0;
  // Speech goes to `stream`, converted to its format. The stream is not
  // owned and must stay alive and bound while the voice speaks into it.
  // False, leaving the output as it was, when the stream is null or unbound.
  virtual bool SetOutput(AudioStream* stream) = 0;
  // Speaks UTF-8 text into the output and returns when all of it has been
  // written. False when no output is set, the engine fails or the stream
  // refuses a write.
  virtual bool Speak(std::string_view utf8Text) = 0;
  // The phoneme mnemonics Speak would say for the text, in the engine's
  // notation, one line per clause; nothing when the engine fails. Needs no
  // output.
  virtual std::optional<std::string> Phonemes(std::string_view utf8Text) = 0;
};

class SpeechApi {
 public:
  SpeechApi() = default;
  virtual ~SpeechApi() = default;
  SpeechApi(const SpeechApi&) = delete;
  SpeechApi& operator=(const SpeechApi&) = delete;

  // A voice set to the default token at full volume; nullptr when the
  // engine cannot be started.
  virtual std::unique_ptr<Voice> CreateVoice() = 0;
  // An unbound stream; nullptr when none can be made.
  virtual std::unique_ptr<AudioStream> CreateStream() = 0;
  // The installed tokens in catalogue order; empty when there are none or
  // the catalogue cannot be read.
  virtual std::vector<VoiceToken> EnumerateVoices() = 0;
};

// The voice every program gets when the catalogue lists none: Mandarin.
VoiceToken BuiltInDefaultVoice();

// espeak-ng voices, WAV file streams and the catalogue at `cataloguePath`,
// read afresh for each enumeration and each new voice. The default voice is
// the catalogue's first token, or BuiltInDefaultVoice() without one.
std::unique_ptr<SpeechApi> MakeEspeakSpeechApi(std::string cataloguePath);
// MakeEspeakSpeechApi(VoiceCataloguePath()), made on first use and kept for
// the life of the process.
SpeechApi& DefaultSpeechApi();

}  // namespace speech
