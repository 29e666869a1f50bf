// A voice that speaks with the process's espeak-ng engine (espeak_engine.h)
// and converts its mono output to the format of the stream it writes to.
#pragma once

#include <memory>

#include "platform/speech/speech_api.h"

namespace speech {

// nullptr when the engine cannot start.
std::unique_ptr<Voice> MakeEspeakVoice(const VoiceToken& initialVoice);

}  // namespace speech
