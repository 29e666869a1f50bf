#include "gateway/app/speak_once.h"

#include <cstdio>
#include <filesystem>

#include "gateway/app/gateway_adapters.h"
#include "gateway/audio/wav_to_mp3.h"
#include "platform/codepage/codepage.h"

int SpeakOnce(const std::string& utf8Text, const std::string& wavPath) {
  auto text = codepage::Utf8ToGbkStrict(utf8Text);
  if (!text) {
    std::fprintf(stderr, "Heraldo: the text holds characters GBK cannot carry\n");
    return 2;
  }
  SpeechAudio audio;
  int code = audio.Text2Wav(*text, wavPath);
  audio.Wav2Mp3(wavPath);
  std::string mp3Path = Mp3PathFor(wavPath);
  std::printf("Text2Wav Result Code:%d\nwav=%s\nmp3=%s\n", code, wavPath.c_str(), mp3Path.c_str());
  std::error_code error;
  return std::filesystem::exists(wavPath, error) && std::filesystem::exists(mp3Path, error) ? 0 : 1;
}
