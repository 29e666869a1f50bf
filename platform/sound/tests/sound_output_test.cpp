#include "platform/sound/sound_output.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace {

// ALSA's null device takes sound at the pace of a real one and plays it nowhere.
TEST(SoundOutput, PlaysToTheEndInTheBackgroundAndStopsOnRequest) {
  sound::SoundOutput output("null");
  std::string error;
  std::vector<int16_t> halfSecond(44100, 1000);  // stereo: 22050 frames
  auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(output.Play(halfSecond, 2, 44100, error)) << error;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200)) << "Play does not wait";
  EXPECT_TRUE(output.Playing());
  while (output.Playing() && std::chrono::steady_clock::now() - started < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(output.Playing());

  std::vector<int16_t> minute(44100 * 2 * 60, 1000);
  ASSERT_TRUE(output.Play(minute, 2, 44100, error)) << error;
  started = std::chrono::steady_clock::now();
  output.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
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
