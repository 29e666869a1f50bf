// The machine's sound output, for an operator to hear a message before it
// is broadcast. Playback runs on a thread of its own, so that the window
// stays responsive; one sound at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace sound {

// $HERALDO_SOUND_DEVICE, else ALSA's "default".
std::string DefaultDevice();

class SoundOutput {
 public:
  explicit SoundOutput(std::string device = DefaultDevice());
  // Stops what is playing and waits for the thread.
  ~SoundOutput();
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;

  // Stops any earlier sound, opens the device for interleaved 16-bit PCM
  // and starts playing in the background. False, with the reason in
  // `error`, when there is no such device or it refuses the format: a
  // machine without sound output is told at once, not after the sound.
  bool Play(std::vector<int16_t> samples, int channels, uint32_t sampleRate, std::string& error);
  void Stop();
  bool Playing() const { return playing_; }

 private:
  void Join();

  std::string device_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> playing_{false};
};

}  // namespace sound
