// The speech interface over espeak-ng, WAV files and the voice catalogue.
#include <utility>

#include "platform/speech/espeak_voice.h"
#include "platform/speech/speech_api.h"
#include "platform/speech/wav_file_stream.h"

namespace speech {
namespace {

class EspeakSpeechApi : public SpeechApi {
 public:
  explicit EspeakSpeechApi(std::string cataloguePath) : cataloguePath_(std::move(cataloguePath)) {}

  std::unique_ptr<Voice> CreateVoice() override {
    std::vector<VoiceToken> tokens = EnumerateVoices();
    return MakeEspeakVoice(tokens.empty() ? BuiltInDefaultVoice() : tokens.front());
  }

  std::unique_ptr<AudioStream> CreateStream() override { return MakeWavFileStream(); }

  std::vector<VoiceToken> EnumerateVoices() override {
    std::optional<VoiceCatalogue> catalogue = ReadVoiceCatalogue(cataloguePath_);
    return catalogue ? std::move(catalogue->tokens) : std::vector<VoiceToken>();
  }

 private:
  std::string cataloguePath_;
};

}  // namespace

VoiceToken BuiltInDefaultVoice() { return VoiceToken{"", "cmn"}; }

std::unique_ptr<SpeechApi> MakeEspeakSpeechApi(std::string cataloguePath) {
  return std::make_unique<EspeakSpeechApi>(std::move(cataloguePath));
}

SpeechApi& DefaultSpeechApi() {
  static std::unique_ptr<SpeechApi> api = MakeEspeakSpeechApi(VoiceCataloguePath());
  return *api;
}

}  // namespace speech
