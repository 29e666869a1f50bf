#include "gateway/audio/wav_to_mp3.h"

#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "platform/lame_enc/mp3_frame.h"
#include "platform/speech/wav_file_stream.h"

namespace {

namespace fs = std::filesystem;

std::string BinDir() {
  const char* bin = std::getenv("QUILLON_BIN_DIR");
  return bin ? bin : "";
}

// ffprobe's key=value lines for the stream and the container.
std::map<std::string, std::string> Probe(const fs::path& path) {
  std::map<std::string, std::string> fields;
  std::string command = "ffprobe -v error -show_streams -show_format '" + path.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return fields;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    std::string key = text.substr(0, equals);
    if (!fields.count(key)) fields[key] = text.substr(equals + 1, text.find_last_not_of("\r\n") - equals);
  }
  pclose(pipe);
  return fields;
}

// Stereo frames that a decoder plays from the file, after it dropped the
// encoder's delay and padding as the information frame tells it.
size_t DecodedFrames(const fs::path& path) {
  std::string command = "ffmpeg -v error -i '" + path.string() + "' -f s16le -ac 2 -";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return 0;
  size_t bytes = 0;
  char buffer[65536];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) bytes += n;
  pclose(pipe);
  return bytes / 4;
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Be32(const uint8_t* at) { return uint32_t{at[0]} << 24 | at[1] << 16 | at[2] << 8 | at[3]; }

std::vector<lame_enc::FrameHeader> Frames(const std::vector<uint8_t>& bytes) {
  std::vector<lame_enc::FrameHeader> frames;
  size_t at = 0;
  while (auto header = lame_enc::ParseLayer3Header(std::span(bytes).subspan(at))) {
    frames.push_back(*header);
    at += header->frameLength;
  }
  EXPECT_EQ(at, bytes.size());
  return frames;
}

// Is the library at `path` in the process now? AddressSanitizer keeps
// instrumented libraries mapped after dlclose, so there it cannot tell.
bool Loaded(const std::string& path) {
#ifdef __SANITIZE_ADDRESS__
  (void)path;
  return false;
#else
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
#endif
}

class Wav2Mp3Test : public ::testing::Test {
 protected:
  Wav2Mp3Test() : dir_(fs::temp_directory_path() / ("wav_to_mp3_test." + std::to_string(getpid()))) {
    fs::create_directories(dir_ / "empty");
    wav_ = dir_ / "13800138000 2026-12-07_08_09_10.wav";
    mp3_ = dir_ / "13800138000 2026-12-07_08_09_10.mp3";
  }
  ~Wav2Mp3Test() override {
    unsetenv("HERALDO_HOME");
    // Finding the program directory made it the current one.
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir_);
  }

  // Three quarters of a second of two tones, as Text2Wav would lay it out.
  void WriteWav() {
    auto stream = speech::MakeWavFileStream();
    std::vector<int16_t> samples(2 * 33075);
    for (size_t i = 0; i < samples.size(); ++i) {
      double hz = i % 2 ? 660 : 440;
      samples[i] = static_cast<int16_t>(9000 * std::sin(2 * std::numbers::pi * hz * (i / 2) / 44100));
    }
    ASSERT_TRUE(stream->BindToFile(wav_.string(), {2, 44100, 16}));
    ASSERT_TRUE(stream->Write(samples));
    ASSERT_TRUE(stream->Close());
  }

  void UseProgramDirectory(const std::string& directory) { setenv("HERALDO_HOME", directory.c_str(), 1); }

  fs::path dir_, wav_, mp3_;
};

TEST(Mp3PathFor, ReplacesWhatFollowsTheLastDotOfTheName) {
  EXPECT_EQ(Mp3PathFor("/srv/temp/139 2026-01-02_03_04_05.wav"), "/srv/temp/139 2026-01-02_03_04_05.mp3");
  EXPECT_EQ(Mp3PathFor("a.b.wave"), "a.b.mp3");
  EXPECT_EQ(Mp3PathFor("msg."), "msg.mp3");
  EXPECT_EQ(Mp3PathFor("/srv/v1.2/msg"), "/srv/v1.2/msg.mp3");
}

TEST_F(Wav2Mp3Test, EncodesMpeg1JointStereoAt128WithAnInfoFrameAndUnloadsTheLibrary) {
  ASSERT_FALSE(BinDir().empty());
  UseProgramDirectory(BinDir());
  WriteWav();
  std::ofstream(mp3_) << std::string(5000, 'x');  // from an earlier run
  LameEntryTable entries{};
  Wav2Mp3(wav_.string(), entries);
  EXPECT_TRUE(entries.beInitStream && entries.beEncodeChunk && entries.beDeinitStream && entries.beCloseStream &&
              entries.beVersion && entries.beWriteVBRHeader && entries.beWriteInfoTag);
  EXPECT_FALSE(Loaded(BinDir() + "/" + kEncoderLibraryName));

  std::map<std::string, std::string> probe = Probe(mp3_);
  EXPECT_EQ(probe["codec_name"], "mp3");
  EXPECT_EQ(probe["sample_rate"], "44100");
  EXPECT_EQ(probe["channels"], "2");
  EXPECT_EQ(probe["bit_rate"], "128000");
  EXPECT_EQ(probe["TAG:encoder"].substr(0, 4), "LAME");
  EXPECT_EQ(DecodedFrames(mp3_), 33075u) << "every sample, and only those";

  std::vector<uint8_t> bytes = ReadBytes(mp3_);
  std::vector<lame_enc::FrameHeader> frames = Frames(bytes);
  ASSERT_GT(frames.size(), 20u);
  for (const auto& frame : frames) {
    ASSERT_EQ(frame.version, lame_enc::MpegVersion::Mpeg1);
    ASSERT_EQ(frame.bitrateKbps, 128) << "constant";
    ASSERT_EQ(frame.sampleRate, 44100);
    ASSERT_EQ(frame.mode, 1) << "joint stereo";
  }
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "Info");
  EXPECT_EQ(Be32(bytes.data() + 36 + 8), frames.size() - 1);
  EXPECT_EQ(std::string(bytes.begin() + 156, bytes.begin() + 160), "LAME");
}

TEST_F(Wav2Mp3Test, WithoutTheLibraryOrTheWavThereIsNoMp3) {
  WriteWav();
  std::ofstream(mp3_) << "old";
  UseProgramDirectory((dir_ / "empty").string());
  LameEntryTable entries{};
  Wav2Mp3(wav_.string(), entries);
  EXPECT_FALSE(fs::exists(mp3_)) << "the old one is deleted before the library is looked for";
  EXPECT_EQ(entries.beInitStream, nullptr);

  UseProgramDirectory(BinDir());
  fs::remove(wav_);
  Wav2Mp3(wav_.string(), entries);
  EXPECT_FALSE(fs::exists(mp3_));
  EXPECT_NE(entries.beInitStream, nullptr);
  EXPECT_FALSE(Loaded(BinDir() + "/" + kEncoderLibraryName));

  Wav2Mp3("", entries);
}

TEST_F(Wav2Mp3Test, ALibraryWithoutWriteInfoTagGetsTheFrameFromWriteVbrHeader) {
  fs::copy_file(fs::path(LAME_ENC_WITHOUT_INFO_TAG_DIR) / kEncoderLibraryName, dir_ / kEncoderLibraryName);
  UseProgramDirectory(dir_.string());
  WriteWav();
  LameEntryTable entries{};
  Wav2Mp3(wav_.string(), entries);
  EXPECT_EQ(entries.beWriteInfoTag, nullptr);
  EXPECT_NE(entries.beWriteVBRHeader, nullptr);

  std::vector<uint8_t> bytes = ReadBytes(mp3_);
  std::vector<lame_enc::FrameHeader> frames = Frames(bytes);
  ASSERT_GT(frames.size(), 20u);
  EXPECT_EQ(frames[0].mode, 1);
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "Info");
  EXPECT_EQ(Be32(bytes.data() + 36 + 8), frames.size() - 1);
  EXPECT_EQ(Be32(bytes.data() + 36 + 12), bytes.size());
  EXPECT_NE(std::string(bytes.begin() + 156, bytes.begin() + 160), "LAME") << "the stream's extension is not known";
  std::map<std::string, std::string> probe = Probe(mp3_);
  EXPECT_EQ(probe["codec_name"], "mp3");
  EXPECT_EQ(probe["bit_rate"], "128000");
  EXPECT_GT(DecodedFrames(mp3_), 33075u) << "without the encoder's delay the decoder keeps it";
}

TEST(OneSecondMp3, IsOneSecondOfTheGatewaysOwnEncoding) {
  fs::path path = fs::path(BinDir()) / "OneSecond.mp3";
  ASSERT_TRUE(fs::exists(path));
  std::map<std::string, std::string> probe = Probe(path);
  EXPECT_EQ(probe["codec_name"], "mp3");
  EXPECT_EQ(probe["sample_rate"], "44100");
  EXPECT_EQ(probe["bit_rate"], "128000");
  EXPECT_EQ(DecodedFrames(path), 44100u);
  std::vector<uint8_t> bytes = ReadBytes(path);
  EXPECT_EQ(Frames(bytes).front().mode, 1);
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "Info");
}

}  // namespace
