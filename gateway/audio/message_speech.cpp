#include "gateway/audio/message_speech.h"

#include <unistd.h>

LoudnessTarget SpeechLoudness(const GatewaySettings& settings) {
  LoudnessTarget target;
  target.integratedLufs = settings.speechLoudness;
  target.highPassHz = settings.speechHighPass;
  return target;
}

MessageSpeech SpeakMessage(TextToSpeech& speech, const std::string& utf8Text, const std::string& wavPath,
                           const LoudnessTarget& target) {
  MessageSpeech result;
  result.spoken = MakeSpeakable(utf8Text);
  if (!result.spoken.HasSpeech()) {
    // An old file of that name would otherwise be broadcast in its place.
    if (!wavPath.empty()) ::unlink(wavPath.c_str());
    return result;
  }
  result.code = speech.SpeakUtf8(result.spoken.text, wavPath);
  if (result.code == kText2WavWritten) result.loudness = NormaliseWavFile(wavPath, target);
  return result;
}
