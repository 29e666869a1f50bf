#include "gateway/audio/loudness.h"

#include <cmath>
#include <filesystem>
#include <numbers>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "gateway/audio/message_speech.h"
#include "gateway/audio/pcm_wav_file.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kRate = 44100;

// A tone at `frequency` in bursts, like syllables: 150 ms on, 100 ms off,
// with one sharp click per burst that a limiter has to catch.
std::vector<int16_t> Syllables(double frequency, double amplitude, double seconds, int channels = 2) {
  size_t count = static_cast<size_t>(seconds * kRate);
  std::vector<int16_t> samples(count * channels);
  for (size_t n = 0; n < count; ++n) {
    double t = static_cast<double>(n) / kRate;
    double phase = std::fmod(t, 0.25);
    double value = phase < 0.15 ? amplitude * std::sin(2 * std::numbers::pi * frequency * t) : 0;
    if (phase >= 0.05 && phase < 0.0502) value = phase < 0.0501 ? 0.99 : -0.99;
    for (int c = 0; c < channels; ++c) samples[n * channels + c] = static_cast<int16_t>(std::lround(value * 32767));
  }
  return samples;
}

double ToneLevelDb(const std::vector<int16_t>& samples, double frequency, int channels = 2) {
  // The tone's amplitude by correlation with it, channel 0.
  double re = 0, im = 0;
  size_t count = samples.size() / channels;
  for (size_t n = count / 4; n < count; ++n) {
    double angle = 2 * std::numbers::pi * frequency * n / kRate;
    re += samples[n * channels] * std::cos(angle);
    im += samples[n * channels] * std::sin(angle);
  }
  return 20 * std::log10(std::hypot(re, im) / (count - count / 4) + 1e-9);
}

TEST(Loudness, QuietAndLoudMessagesEndAtTheTargetUnderTheCeiling) {
  LoudnessTarget target;
  for (double amplitude : {0.01, 0.1, 0.5, 0.95}) {
    for (double seconds : {0.3, 1.0, 12.0}) {
      std::vector<int16_t> samples = Syllables(440, amplitude, seconds);
      std::optional<LoudnessMeasure> after = NormaliseLoudness(samples, 2, kRate, target);
      ASSERT_TRUE(after) << amplitude << " " << seconds;
      EXPECT_NEAR(after->integratedLufs, -16, 0.5) << amplitude << " " << seconds;
      EXPECT_LE(after->truePeakDbtp, -1.0) << amplitude << " " << seconds;
      std::optional<LoudnessMeasure> again = MeasureLoudness(samples, 2, kRate);
      ASSERT_TRUE(again);
      EXPECT_NEAR(again->integratedLufs, after->integratedLufs, 0.01) << "what is returned is what was written";
    }
  }
  target.integratedLufs = -23;
  std::vector<int16_t> samples = Syllables(440, 0.5, 2);
  EXPECT_NEAR(NormaliseLoudness(samples, 2, kRate, target)->integratedLufs, -23, 0.5);
}

TEST(Loudness, HighPassTakesTheHumAwayAndKeepsTheVoice) {
  std::vector<int16_t> hum = Syllables(60, 0.3, 3);
  std::vector<int16_t> voice = Syllables(1000, 0.3, 3);
  std::vector<int16_t> mixed(hum.size());
  for (size_t i = 0; i < hum.size(); ++i) mixed[i] = static_cast<int16_t>(hum[i] / 2 + voice[i] / 2);
  double humBefore = ToneLevelDb(mixed, 60), voiceBefore = ToneLevelDb(mixed, 1000);

  LoudnessTarget target;
  std::vector<int16_t> filtered = mixed;
  ASSERT_TRUE(NormaliseLoudness(filtered, 2, kRate, target));
  double gain = ToneLevelDb(filtered, 1000) - voiceBefore;
  EXPECT_LT(ToneLevelDb(filtered, 60) - humBefore - gain, -20) << "60 Hz falls two octaves under 200 Hz";

  target.highPassHz = 0;
  std::vector<int16_t> unfiltered = mixed;
  ASSERT_TRUE(NormaliseLoudness(unfiltered, 2, kRate, target));
  double unfilteredGain = ToneLevelDb(unfiltered, 1000) - voiceBefore;
  EXPECT_NEAR(ToneLevelDb(unfiltered, 60) - humBefore, unfilteredGain, 1.0) << "HighPass=0: no filter";
}

TEST(Loudness, SilenceIsLeftAlone) {
  std::vector<int16_t> silence(kRate * 2, 0);
  EXPECT_FALSE(NormaliseLoudness(silence, 2, kRate, LoudnessTarget{}));
  EXPECT_EQ(silence, std::vector<int16_t>(kRate * 2, 0));
  std::vector<int16_t> nothing;
  EXPECT_FALSE(NormaliseLoudness(nothing, 2, kRate, LoudnessTarget{}));
}

// The voice's own output, short and long: both leave at one loudness.
TEST(Loudness, ShortAndLongSpokenMessagesSoundEquallyLoud) {
  fs::path dir = fs::temp_directory_path() / ("loudness_test." + std::to_string(getpid()));
  fs::create_directories(dir);
  TextToSpeech speech;
  for (const char* text : {"好的", "各位同学请注意，今天下午三点在操场集合，请带好雨具，注意安全，谢谢配合。"}) {
    std::string wav = (dir / "m.wav").string();
    MessageSpeech made = SpeakMessage(speech, text, wav, LoudnessTarget{});
    ASSERT_EQ(made.code, kText2WavWritten) << text;
    ASSERT_TRUE(made.loudness) << text;
    std::optional<PcmWav> file = ReadPcmWav(wav);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->channels, 2);
    EXPECT_EQ(file->sampleRate, 44100u);
    std::optional<LoudnessMeasure> measured = MeasureLoudness(file->samples, 2, 44100);
    ASSERT_TRUE(measured);
    EXPECT_NEAR(measured->integratedLufs, -16, 1.0) << text;
    EXPECT_LE(measured->truePeakDbtp, -1.0) << text;
  }
  fs::remove_all(dir);
}

}  // namespace
