#include "gateway/audio/text_to_speech.h"

#include <unistd.h>

#include "platform/codepage/codepage.h"

namespace {

const speech::WaveFormat kWavFormat{2, 44100, 16};
// Descriptions are compared as the platform's registry hands them out: in
// the code page, at most 255 bytes.
constexpr size_t kDescriptionLimit = 255;

// ASCII letters only, byte by byte, as the C library's case-blind compare
// does in the "C" locale.
bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

TextToSpeech::TextToSpeech(speech::SpeechApi& api) : voiceName_("girl xiaokun") {
  voice_ = api.CreateVoice();
  if (!voice_) return;
  voice_->SetVolume(100);
  stream_ = api.CreateStream();
  if (!stream_) return;
  // No break at a match: the last matching token wins.
  for (const speech::VoiceToken& token : api.EnumerateVoices()) {
    std::string description = codepage::Utf8ToGbk(token.description);
    description.resize(codepage::GbkPrefixLength(description, kDescriptionLimit));
    if (EqualIgnoringCase(description, voiceName_)) voice_->SetVoice(token);
  }
}

TextToSpeech::~TextToSpeech() {
  if (stream_) stream_->Close();
}

int TextToSpeech::Text2Wav(const std::string& text, const std::string& wavPath) {
  return SpeakUtf8(codepage::GbkToUtf8(text), wavPath);
}

int TextToSpeech::SpeakUtf8(const std::string& utf8Text, const std::string& wavPath) {
  if (utf8Text.empty() || wavPath.empty()) return kText2WavNothingToDo;
  // unlink, not remove: a directory of that name is not ours to delete.
  ::unlink(wavPath.c_str());
  // Preparing stops at the first failure, so without a voice there is no
  // stream either: nothing to bind.
  if (!voice_ || !stream_) return kText2WavBindFailed;
  if (!stream_->BindToFile(wavPath, kWavFormat)) return kText2WavBindFailed;
  auto discard = [&](int result) {
    stream_->Close();
    ::unlink(wavPath.c_str());
    return result;
  };
  if (!voice_->SetOutput(stream_.get())) return discard(kText2WavOutputFailed);
  if (!voice_->Speak(utf8Text)) return discard(kText2WavSpeakFailed);
  // A header that could not be completed leaves no valid file either.
  if (!stream_->Close()) return discard(kText2WavSpeakFailed);
  return kText2WavWritten;
}

std::optional<std::string> TextToSpeech::Phonemes(const std::string& utf8Text) const {
  if (!voice_) return std::nullopt;
  return voice_->Phonemes(utf8Text);
}

const speech::VoiceToken* TextToSpeech::CurrentVoice() const { return voice_ ? &voice_->CurrentVoice() : nullptr; }
