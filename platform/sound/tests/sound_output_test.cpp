#include "platform/sound/sound_output.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace {

// ALSA's null device takes the sound and plays it nowhere (at once, not at
// a sound card's pace, so Stop in mid-sound is not seen here).
TEST(SoundOutput, PlaysOneSoundAfterAnotherInTheBackground) {
  sound::SoundOutput output("null");
  std::string error;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(output.Play(std::vector<int16_t>(44100, 1000), 2, 44100, error)) << error;
    auto started = std::chrono::steady_clock::now();
    while (output.Playing() && std::chrono::steady_clock::now() - started < std::chrono::seconds(5))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(output.Playing()) << "the sound ends by itself";
  }
  ASSERT_TRUE(output.Play(std::vector<int16_t>(44100 * 2, 1000), 1, 22050, error)) << "any rate, mono too: " << error;
  output.Stop();
  EXPECT_FALSE(output.Playing());
}

TEST(SoundOutput, AMachineWithoutTheDeviceSaysSoAtOnce) {
  sound::SoundOutput output("hw:97,0");
  std::string error;
  EXPECT_FALSE(output.Play(std::vector<int16_t>(1000, 0), 2, 44100, error));
  EXPECT_NE(error.find("hw:97,0"), std::string::npos) << error;
  EXPECT_FALSE(output.Playing());
  EXPECT_FALSE(output.Play({}, 2, 44100, error));
}

}  // namespace
