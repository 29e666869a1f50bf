// "试听" on this computer: the message spoken as a broadcast would be
// (made speakable, levelled), then played on the sound output.
#pragma once

#include <string>

#include "gateway/dialogs/message_preview.h"
#include "gateway/gateway_settings.h"
#include "platform/sound/sound_output.h"

class SpeechPreview final : public MessagePreview {
 public:
  // The WAV file is made in `tempDirectory` and removed once read; the
  // loudness comes from `settings` at each preview.
  SpeechPreview(const GatewaySettings& settings, std::string tempDirectory,
                std::string soundDevice = sound::DefaultDevice());
  PreviewResult Play(const std::string& text) override;
  // Why the last preview could not play, for a log.
  const std::string& lastError() const { return lastError_; }

 private:
  const GatewaySettings& settings_;
  std::string tempDirectory_;
  sound::SoundOutput output_;
  std::string lastError_;
};
