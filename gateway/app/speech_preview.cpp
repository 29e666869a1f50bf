#include "gateway/app/speech_preview.h"

#include <filesystem>
#include <unistd.h>

#include "gateway/audio/message_speech.h"
#include "gateway/audio/pcm_wav_file.h"
#include "platform/codepage/codepage.h"

SpeechPreview::SpeechPreview(const GatewaySettings& settings, std::string tempDirectory, std::string soundDevice)
    : settings_(settings), tempDirectory_(std::move(tempDirectory)), output_(std::move(soundDevice)) {}

PreviewResult SpeechPreview::Play(const std::string& text) {
  lastError_.clear();
  std::error_code error;
  std::filesystem::create_directories(tempDirectory_, error);
  std::string wavPath = tempDirectory_ + "/preview.wav";
  TextToSpeech speech;
  MessageSpeech made = SpeakMessage(speech, codepage::GbkToUtf8(text), wavPath, SpeechLoudness(settings_));
  if (!made.spoken.HasSpeech()) return PreviewResult::NothingToSpeak;
  std::optional<PcmWav> wav = ReadPcmWav(wavPath);
  ::unlink(wavPath.c_str());
  if (made.code != kText2WavWritten || !wav) {
    lastError_ = "speech failed with result code " + std::to_string(made.code);
    return PreviewResult::SpeechFailed;
  }
  if (!output_.Play(std::move(wav->samples), wav->channels, wav->sampleRate, lastError_))
    return PreviewResult::NoSoundOutput;
  return PreviewResult::Playing;
}
