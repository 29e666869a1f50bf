// One message's text made into the WAV file the gateway broadcasts: made
// speakable, spoken with the gateway's voice, levelled to one loudness.
#pragma once

#include <optional>
#include <string>

#include "gateway/audio/loudness.h"
#include "gateway/audio/speakable_text.h"
#include "gateway/audio/text_to_speech.h"
#include "gateway/gateway_settings.h"

struct MessageSpeech {
  // Text2Wav's result code; kText2WavNothingToDo, with no file left at the
  // path, when the text holds nothing to speak.
  int code = kText2WavNothingToDo;
  SpeakableText spoken;
  // The WAV file's measure after levelling; nothing when it was not
  // written or could not be levelled (then it keeps the voice's level).
  std::optional<LoudnessMeasure> loudness;
};

// The [Speech] settings as a loudness target.
LoudnessTarget SpeechLoudness(const GatewaySettings& settings);

MessageSpeech SpeakMessage(TextToSpeech& speech, const std::string& utf8Text, const std::string& wavPath,
                           const LoudnessTarget& target);
