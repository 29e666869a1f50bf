#include "platform/speech/espeak_engine.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <espeak-ng/speak_lib.h>

namespace speech::espeak {
namespace {

std::mutex engineMutex;
uint32_t sampleRate = 0;
std::once_flag started;
// What the callback hands audio to: set only while engineMutex is held.
const SampleSink* currentSink = nullptr;
bool sinkRefused = false;
// Loading a voice reads its dictionary; skip it when the voice is unchanged.
std::string loadedVoice;

int OnSynthesis(short* samples, int count, espeak_EVENT*) {
  if (samples == nullptr || count <= 0 || currentSink == nullptr) return 0;
  if (!(*currentSink)(std::span<const int16_t>(samples, static_cast<size_t>(count)))) {
    sinkRefused = true;
    return 1;  // abort
  }
  return 0;
}

void Start() {
  // DONT_EXIT: without its data espeak-ng would otherwise end the process.
  int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
  if (rate <= 0) return;
  espeak_SetSynthCallback(OnSynthesis);
  sampleRate = static_cast<uint32_t>(rate);
}

}  // namespace

uint32_t SampleRate() {
  std::call_once(started, Start);
  return sampleRate;
}

namespace {

// With engineMutex held.
bool SynthesizeLocked(std::string_view utf8Text, const SpeakSettings& settings, const SampleSink& sink) {
  if (settings.engineVoice != loadedVoice) {
    loadedVoice.clear();
    if (espeak_SetVoiceByName(settings.engineVoice.c_str()) != EE_OK) return false;
    loadedVoice = settings.engineVoice;
  }
  espeak_SetParameter(espeakRATE, settings.rate, 0);
  espeak_SetParameter(espeakPITCH, settings.pitch, 0);
  espeak_SetParameter(espeakVOLUME, settings.volume, 0);

  std::string text(utf8Text);  // espeak-ng wants it NUL-terminated
  currentSink = &sink;
  sinkRefused = false;
  espeak_ERROR result =
      espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
  currentSink = nullptr;
  return result == EE_OK && !sinkRefused;
}

}  // namespace

bool Synthesize(std::string_view utf8Text, const SpeakSettings& settings, const SampleSink& sink) {
  if (SampleRate() == 0) return false;
  std::lock_guard lock(engineMutex);
  return SynthesizeLocked(utf8Text, settings, sink);
}

std::optional<std::string> Phonemes(std::string_view utf8Text, const SpeakSettings& settings) {
  if (SampleRate() == 0) return std::nullopt;
  std::lock_guard lock(engineMutex);
  char* buffer = nullptr;
  size_t size = 0;
  FILE* trace = open_memstream(&buffer, &size);
  if (trace == nullptr) return std::nullopt;
  espeak_SetPhonemeTrace(espeakPHONEMES_SHOW, trace);
  SampleSink discard = [](std::span<const int16_t>) { return true; };
  bool spoken = SynthesizeLocked(utf8Text, settings, discard);
  espeak_SetPhonemeTrace(0, nullptr);
  std::fclose(trace);
  std::string phonemes(buffer, size);
  std::free(buffer);
  if (!spoken) return std::nullopt;
  return phonemes;
}

}  // namespace speech::espeak
