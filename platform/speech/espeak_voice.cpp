#include "platform/speech/espeak_voice.h"

#include <vector>

#include "platform/speech/espeak_engine.h"
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
    espeak::SpeakSettings settings{token_.engineVoice, token_.rate, token_.pitch, volume_};
    if (!espeak::Synthesize(utf8Text, settings, sink)) return false;
    resampler.Finish(mono);
    return write();
  }

 private:
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
