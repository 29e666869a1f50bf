#include "platform/speech/espeak_voice.h"

#include <utility>
#include <vector>

#include "platform/speech/engine_voice_names.h"
#include "platform/speech/espeak_engine.h"
#include "platform/speech/language_runs.h"
#include "platform/speech/resampler.h"

namespace speech {
namespace {

class EspeakVoice : public Voice {
 public:
  explicit EspeakVoice(const VoiceToken& token) : token_(token) {}

  bool SetVolume(int volume) override {
    if (volume < 0 || volume > 100) return false;
    volume_ = volume;
    return true;
  }
  int Volume() const override { return volume_; }

  void SetVoice(const VoiceToken& token) override { token_ = token; }
  const VoiceToken& CurrentVoice() const override { return token_; }

  bool SetOutput(AudioStream* stream) override {
    if (stream == nullptr || !stream->IsBound()) return false;
    output_ = stream;
    return true;
  }

  bool Speak(std::string_view utf8Text) override {
    if (output_ == nullptr || !output_->IsBound()) return false;
    const WaveFormat format = output_->Format();
    if (format.bitsPerSample != 16 || format.channels < 1 || format.channels > 2) return false;

    Resampler resampler(espeak::SampleRate(), format.samplesPerSecond);
    std::vector<int16_t> mono;
    std::vector<int16_t> frames;
    auto write = [&] {
      frames.resize(mono.size() * format.channels);
      for (size_t i = 0; i < mono.size(); ++i) {
        for (int c = 0; c < format.channels; ++c) frames[i * format.channels + c] = mono[i];
      }
      mono.clear();
      return output_->Write(frames);
    };
    espeak::SampleSink sink = [&](std::span<const int16_t> block) {
      resampler.Process(block, mono);
      return write();
    };
    for (const Part& part : Parts(utf8Text)) {
      if (!espeak::Synthesize(part.text, part.settings, sink)) return false;
    }
    resampler.Finish(mono);
    return write();
  }

  std::optional<std::string> Phonemes(std::string_view utf8Text) override {
    std::string phonemes;
    for (const Part& part : Parts(utf8Text)) {
      std::optional<std::string> said = espeak::Phonemes(part.text, part.settings);
      if (!said) return std::nullopt;
      while (!said->empty() && (said->back() == '\n' || said->back() == ' ')) said->pop_back();
      // Marked as the engine marks its own switches of language.
      phonemes += (part.english ? "(en)" + *said + "(cmn)" : *said) + "\n";
    }
    return phonemes;
  }

 private:
  struct Part {
    std::string text;
    espeak::SpeakSettings settings;
    bool english = false;  // a Latin word inside a Mandarin text
  };

  // A Mandarin voice speaks its Latin words with the English voice; any
  // other voice speaks the whole text itself.
  std::vector<Part> Parts(std::string_view utf8Text) const {
    espeak::SpeakSettings settings{token_.engineVoice, token_.rate, token_.pitch, volume_};
    if (!IsMandarinVoice(token_.engineVoice)) return {{std::string(utf8Text), settings}};
    std::vector<Part> parts;
    for (LanguageRun& run : SplitLanguageRuns(utf8Text)) {
      settings.engineVoice = run.latin ? LatinEngineVoice(token_.engineVoice) : MandarinEngineVoice(token_.engineVoice);
      parts.push_back({std::move(run.text), settings, run.latin});
    }
    return parts;
  }

  VoiceToken token_;
  int volume_ = 100;
  AudioStream* output_ = nullptr;
};

}  // namespace

std::unique_ptr<Voice> MakeEspeakVoice(const VoiceToken& initialVoice) {
  if (espeak::SampleRate() == 0) return nullptr;
  return std::make_unique<EspeakVoice>(initialVoice);
}

}  // namespace speech
