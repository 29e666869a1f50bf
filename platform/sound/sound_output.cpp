#include "platform/sound/sound_output.h"

#include <alsa/asoundlib.h>
#include <cstdlib>

namespace sound {
namespace {

constexpr unsigned kLatencyMicroseconds = 200000;
constexpr size_t kFramesPerWrite = 4096;

void Write(snd_pcm_t* pcm, const std::vector<int16_t>& samples, int channels, const std::atomic<bool>& stop) {
  size_t frames = samples.size() / static_cast<size_t>(channels);
  size_t done = 0;
  while (done < frames && !stop) {
    size_t chunk = std::min(kFramesPerWrite, frames - done);
    snd_pcm_sframes_t written = snd_pcm_writei(pcm, &samples[done * channels], chunk);
    if (written < 0) written = snd_pcm_recover(pcm, static_cast<int>(written), 1);
    if (written < 0) return;  // the device went away: nothing more to do
    done += static_cast<size_t>(written);
  }
  if (stop) {
    snd_pcm_drop(pcm);
  } else {
    snd_pcm_drain(pcm);
  }
}

}  // namespace

std::string DefaultDevice() {
  const char* device = std::getenv("HERALDO_SOUND_DEVICE");
  return device && *device ? device : "default";
}

SoundOutput::SoundOutput(std::string device) : device_(std::move(device)) {}

SoundOutput::~SoundOutput() { Stop(); }

bool SoundOutput::Play(std::vector<int16_t> samples, int channels, uint32_t sampleRate, std::string& error) {
  Stop();
  if (channels <= 0 || samples.empty()) {
    error = "nothing to play";
    return false;
  }
  snd_pcm_t* pcm = nullptr;
  int result = snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
  if (result < 0) {
    error = "sound output \"" + device_ + "\": " + snd_strerror(result);
    return false;
  }
  result = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                              static_cast<unsigned>(channels), sampleRate, 1, kLatencyMicroseconds);
  if (result < 0) {
    error = "sound output \"" + device_ + "\": " + snd_strerror(result);
    snd_pcm_close(pcm);
    return false;
  }
  stop_ = false;
  playing_ = true;
  thread_ = std::thread([this, pcm, channels, samples = std::move(samples)] {
    Write(pcm, samples, channels, stop_);
    snd_pcm_close(pcm);
    playing_ = false;
  });
  return true;
}

void SoundOutput::Stop() {
  stop_ = true;
  Join();
}

void SoundOutput::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace sound
