#include "gateway/app/speak_once.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "gateway/audio/message_speech.h"
#include "gateway/audio/wav_to_mp3.h"
#include "gateway/gateway_settings.h"

namespace {

// One line: the engine puts each clause on a line of its own.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\n' || c == '\r') c = ' ';
    if (c == ' ' && (line.empty() || line.back() == ' ')) continue;
    line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// The program directory's SMS.ini when there is one: its [Speech] levels.
GatewaySettings CurrentSettings() {
  GatewaySettings settings;
  std::string path = GatewaySettingsPath();
  std::error_code error;
  if (!path.empty() && std::filesystem::exists(path, error)) LoadGatewaySettings(path, settings);
  return settings;
}

bool Print(TextToSpeech& speech, const SpeakableText& spoken) {
  std::printf("text: %s\n", spoken.text.c_str());
  std::optional<std::string> phonemes = speech.Phonemes(spoken.text);
  if (!phonemes) {
    std::fprintf(stderr, "Heraldo: the voice could not say the text\n");
    return false;
  }
  std::printf("phonemes: %s\n", OneLine(*phonemes).c_str());
  return true;
}

bool Write(TextToSpeech& speech, const std::string& utf8Text, const std::string& wavPath) {
  MessageSpeech made = SpeakMessage(speech, utf8Text, wavPath, SpeechLoudness(CurrentSettings()));
  LameEntryTable entries{};
  Wav2Mp3(wavPath, entries);
  std::string mp3Path = Mp3PathFor(wavPath);
  std::printf("Text2Wav Result Code:%d\nwav=%s\nmp3=%s\n", made.code, wavPath.c_str(), mp3Path.c_str());
  if (made.loudness) {
    std::printf("loudness=%.1f LUFS true-peak=%.1f dBTP\n", made.loudness->integratedLufs, made.loudness->truePeakDbtp);
  }
  std::error_code error;
  return std::filesystem::exists(wavPath, error) && std::filesystem::exists(mp3Path, error);
}

}  // namespace

std::optional<SpeakRequest> ParseSpeakRequest(int argc, char** argv) {
  if (argc < 4 || std::strcmp(argv[1], "--speak") != 0) return std::nullopt;
  SpeakRequest request{argv[2]};
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--print") == 0 && !request.print) {
      request.print = true;
    } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc && !request.wavPath) {
      request.wavPath = argv[++i];
    } else {
      return std::nullopt;
    }
  }
  return request;
}

int SpeakOnce(const SpeakRequest& request) {
  SpeakableText spoken = MakeSpeakable(request.utf8Text);
  if (spoken.dropped > 0) {
    std::fprintf(stderr, "Heraldo: %d characters that cannot be spoken (emoji, control characters) left out\n",
                 spoken.dropped);
  }
  if (!spoken.HasSpeech()) {
    std::fprintf(stderr, "Heraldo: the text holds nothing to speak; no file is made\n");
    return 1;
  }
  TextToSpeech speech;
  bool done = true;
  if (request.print) done = Print(speech, spoken);
  if (request.wavPath) done = Write(speech, request.utf8Text, *request.wavPath) && done;
  return done ? 0 : 1;
}
