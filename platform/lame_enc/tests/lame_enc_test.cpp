#include <cmath>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "platform/lame_enc/lame_enc_api.h"
#include "platform/lame_enc/mp3_frame.h"

namespace {

namespace fs = std::filesystem;

BE_CONFIG GatewayRecord() {
  BE_CONFIG config;
  std::memset(&config, 0, sizeof config);
  config.dwConfig = BE_CONFIG_LAME;
  auto& c = config.format.LHV1;
  c.dwStructVersion = 1;
  c.dwStructSize = 331;
  c.dwSampleRate = 44100;
  c.nMode = BE_MP3_MODE_JSTEREO;
  c.dwBitrate = 128;
  c.nPreset = LQP_CBR;
  c.dwMpegVersion = MPEG1;
  c.bOriginal = 1;
  c.bWriteVBRHeader = 1;
  c.bNoRes = 1;
  return config;
}

std::vector<int16_t> Tone(size_t frames, int channels) {
  std::vector<int16_t> samples(frames * channels);
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      samples[i * channels + c] =
          static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * (440.0 + 220 * c) * i / 44100));
    }
  }
  return samples;
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

uint32_t Be32(const uint8_t* at) { return uint32_t{at[0]} << 24 | at[1] << 16 | at[2] << 8 | at[3]; }

// Encodes `pcm` into `path` up to and including beCloseStream; the handle
// is returned for the information frame.
HBE_STREAM Encode(BE_CONFIG config, const std::vector<int16_t>& pcm, const fs::path& path) {
  uint32_t chunk = 0, size = 0;
  HBE_STREAM stream = 0;
  EXPECT_EQ(beInitStream(&config, &chunk, &size, &stream), BE_ERR_SUCCESSFUL);
  std::vector<uint8_t> out(size);
  std::ofstream file(path, std::ios::binary);
  std::vector<int16_t> in(chunk);
  for (size_t at = 0; at < pcm.size(); at += chunk) {
    size_t n = std::min<size_t>(chunk, pcm.size() - at);
    std::copy_n(pcm.begin() + at, n, in.begin());
    uint32_t produced = 0;
    EXPECT_EQ(beEncodeChunk(stream, static_cast<uint32_t>(n), in.data(), out.data(), &produced), BE_ERR_SUCCESSFUL);
    file.write(reinterpret_cast<char*>(out.data()), produced);
  }
  uint32_t produced = 0;
  EXPECT_EQ(beDeinitStream(stream, out.data(), &produced), BE_ERR_SUCCESSFUL);
  file.write(reinterpret_cast<char*>(out.data()), produced);
  EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
  return stream;
}

struct Frame {
  size_t offset;
  lame_enc::FrameHeader header;
};

std::vector<Frame> Frames(const std::vector<uint8_t>& bytes, size_t start = 0) {
  std::vector<Frame> frames;
  size_t at = start;
  while (auto header = lame_enc::ParseLayer3Header(std::span(bytes).subspan(at))) {
    frames.push_back({at, *header});
    at += header->frameLength;
  }
  EXPECT_EQ(at, bytes.size()) << "frames run to the end of the file";
  return frames;
}

class LameEncTest : public ::testing::Test {
 protected:
  LameEncTest() : dir_(fs::temp_directory_path() / ("lame_enc_test." + std::to_string(getpid()))) {
    fs::create_directories(dir_);
  }
  ~LameEncTest() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST(LameEncRecords, KeepTheirPlatformLayout) {
  EXPECT_EQ(sizeof(BE_CONFIG), 331u);
  EXPECT_EQ(offsetof(BE_CONFIG, format.LHV1.nPreset), 32u);
  EXPECT_EQ(offsetof(BE_CONFIG, format.LHV1.bWriteVBRHeader), 64u);
  EXPECT_EQ(offsetof(BE_CONFIG, format.LHV1.bNoRes), 84u);
  EXPECT_EQ(offsetof(BE_CONFIG, format.LHV1.nQuality), 92u);
  EXPECT_EQ(offsetof(BE_CONFIG, format.mp3.wBitrate), 9u);
  EXPECT_EQ(sizeof(BE_VERSION), 265u);

  BE_VERSION version;
  beVersion(&version);
  EXPECT_EQ(version.byMajorVersion, 3);
  EXPECT_GE(version.byMinorVersion, 99);
  EXPECT_GT(std::strlen(version.zHomepage), 0u);
}

TEST(BeInitStream, RefusesRecordsItCannotHonour) {
  uint32_t chunk = 0, size = 0;
  HBE_STREAM stream = 0;
  auto init = [&](auto change) {
    BE_CONFIG config = GatewayRecord();
    change(config);
    return beInitStream(&config, &chunk, &size, &stream);
  };
  EXPECT_EQ(init([](BE_CONFIG& c) { c.dwConfig = 7; }), BE_ERR_INVALID_FORMAT);
  EXPECT_EQ(init([](BE_CONFIG& c) { c.format.LHV1.dwStructSize = 330; }), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(init([](BE_CONFIG& c) { c.format.LHV1.dwStructVersion = 2; }), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(init([](BE_CONFIG& c) { c.format.LHV1.nMode = 4; }), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(init([](BE_CONFIG& c) { c.format.LHV1.nPreset = LQP_R3MIX; }), BE_ERR_INVALID_FORMAT_PARAMETERS);
  EXPECT_EQ(init([](BE_CONFIG& c) { c.format.LHV1.dwSampleRate = 16000; }), BE_ERR_INVALID_FORMAT_PARAMETERS)
      << "16 kHz cannot be MPEG-1";
  EXPECT_EQ(stream, 0u);

  ASSERT_EQ(init([](BE_CONFIG&) {}), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(chunk, 2304u) << "one frame of 1152 samples, both channels";
  EXPECT_GE(size, 7200u + 1440u);
  EXPECT_NE(stream, 0u);
  EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beCloseStream(stream), BE_ERR_INVALID_HANDLE) << "closed before the end: freed at once";
}

TEST(BeEncodeChunk, HoldsTheCallerToTheStreamsLimits) {
  BE_CONFIG config = GatewayRecord();
  uint32_t chunk = 0, size = 0;
  HBE_STREAM stream = 0;
  ASSERT_EQ(beInitStream(&config, &chunk, &size, &stream), BE_ERR_SUCCESSFUL);
  std::vector<int16_t> in(chunk + 2);
  std::vector<uint8_t> out(size);
  uint32_t produced = 0;
  EXPECT_EQ(beEncodeChunk(stream, chunk + 2, in.data(), out.data(), &produced), BE_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(beEncodeChunk(stream + 8, chunk, in.data(), out.data(), &produced), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(beEncodeChunk(stream, chunk, in.data(), out.data(), &produced), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beDeinitStream(stream, out.data(), &produced), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beEncodeChunk(stream, chunk, in.data(), out.data(), &produced), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(beDeinitStream(stream, out.data(), &produced), BE_ERR_INVALID_HANDLE);
  EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beWriteInfoTag(stream, nullptr), BE_ERR_INVALID_FORMAT_PARAMETERS) << "no file, but freed";
  EXPECT_EQ(beWriteInfoTag(stream, nullptr), BE_ERR_INVALID_HANDLE);
}

TEST_F(LameEncTest, GatewayRecordGivesMpeg1JointStereoAt128WithTheEncodersInfoFrame) {
  fs::path path = dir_ / "tone.mp3";
  HBE_STREAM stream = Encode(GatewayRecord(), Tone(44100, 2), path);
  std::vector<uint8_t> before = ReadBytes(path);
  ASSERT_EQ(beWriteInfoTag(stream, path.c_str()), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(beCloseStream(stream), BE_ERR_INVALID_HANDLE) << "the information frame freed the stream";
  std::vector<uint8_t> bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), before.size());

  std::vector<Frame> frames = Frames(bytes);
  ASSERT_GE(frames.size(), 39u) << "a second at 1152 samples a frame, and the information frame";
  for (const Frame& frame : frames) {
    ASSERT_EQ(frame.header.version, lame_enc::MpegVersion::Mpeg1);
    ASSERT_EQ(frame.header.sampleRate, 44100);
    ASSERT_EQ(frame.header.bitrateKbps, 128);
    ASSERT_EQ(frame.header.mode, 1) << "joint stereo";
    ASSERT_FALSE(frame.header.crc);
    ASSERT_EQ(bytes[frame.offset + 3] & 0x04, 0x04) << "original";
  }
  const uint8_t* tag = bytes.data() + 4 + 32;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(tag), 4), "Info");
  EXPECT_EQ(Be32(tag + 8), frames.size() - 1) << "audio frames";
  EXPECT_EQ(Be32(tag + 12), bytes.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(tag + 120), 4), "LAME");
  EXPECT_TRUE(std::equal(bytes.begin() + frames[1].offset, bytes.end(), before.begin() + frames[1].offset))
      << "only the first frame changes";
}

TEST_F(LameEncTest, WriteVbrHeaderFillsTheReservedFrameLikeTheStreamWould) {
  fs::path withStream = dir_ / "stream.mp3";
  ASSERT_EQ(beWriteInfoTag(Encode(GatewayRecord(), Tone(30000, 2), withStream), withStream.c_str()), BE_ERR_SUCCESSFUL);
  std::vector<uint8_t> reference = ReadBytes(withStream);

  // The same file as the encoder left it before the information frame,
  // behind an ID3v2 tag of 20 bytes.
  std::vector<uint8_t> reserved = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10};
  reserved.resize(20, 0);
  size_t frameLength = lame_enc::ParseLayer3Header(reference)->frameLength;
  reserved.insert(reserved.end(), reference.begin(), reference.begin() + 4);
  reserved.resize(20 + frameLength, 0);
  reserved.insert(reserved.end(), reference.begin() + frameLength, reference.end());
  reserved[20 + 3] = 0x44;  // the reserved frame's header: no original bit, no mode extension
  fs::path alone = dir_ / "alone.mp3";
  WriteBytes(alone, reserved);

  ASSERT_EQ(beWriteVBRHeader(alone.c_str()), BE_ERR_SUCCESSFUL);
  std::vector<uint8_t> bytes = ReadBytes(alone);
  ASSERT_EQ(bytes.size(), reserved.size());
  EXPECT_TRUE(std::equal(reference.begin(), reference.begin() + 3, bytes.begin() + 20));
  EXPECT_EQ(bytes[20 + 3] & 0xCF, reference[3] & 0xCF) << "mode, copyright, original, emphasis as the encoder's";
  const uint8_t* ours = bytes.data() + 20 + 36;
  const uint8_t* theirs = reference.data() + 36;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ours), 4), "Info");
  EXPECT_EQ(Be32(ours + 4), 7u) << "frames, bytes, seek table";
  EXPECT_EQ(Be32(ours + 8), Be32(theirs + 8));
  EXPECT_EQ(Be32(ours + 12), Be32(theirs + 12));
  // The encoder counts its information frame as the first frame of the
  // playing time; the file alone gives the start of the audio frame due.
  // Either way an entry is off by at most one frame. The rest of the frame
  // stays empty.
  const double oneFrame = 256.0 * frameLength / Be32(theirs + 12) + 1;
  for (int i = 0; i < 100; ++i) EXPECT_NEAR(ours[16 + i], theirs[16 + i], oneFrame) << "seek table entry " << i;
  EXPECT_TRUE(
      std::all_of(bytes.begin() + 20 + 36 + 116, bytes.begin() + 20 + frameLength, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(Frames(bytes, 20).size(), Frames(reference).size());

  ASSERT_EQ(beWriteVBRHeader(alone.c_str()), BE_ERR_SUCCESSFUL) << "a frame holding one is rewritten";
  EXPECT_EQ(ReadBytes(alone), bytes);
  ASSERT_EQ(beWriteVBRHeader(withStream.c_str()), BE_ERR_SUCCESSFUL);
  EXPECT_EQ(Be32(ReadBytes(withStream).data() + 36 + 8), Be32(theirs + 8));
}

TEST_F(LameEncTest, WriteVbrHeaderLeavesAFileWithoutAReservedFrameAlone) {
  BE_CONFIG config = GatewayRecord();
  config.format.LHV1.bWriteVBRHeader = 0;
  fs::path plain = dir_ / "plain.mp3";
  HBE_STREAM stream = Encode(config, Tone(20000, 2), plain);
  EXPECT_EQ(beWriteInfoTag(stream, plain.c_str()), BE_ERR_INVALID_HANDLE) << "freed at close: nothing reserved";
  std::vector<uint8_t> before = ReadBytes(plain);
  EXPECT_EQ(beWriteVBRHeader(plain.c_str()), BE_ERR_INVALID_FORMAT);
  EXPECT_EQ(ReadBytes(plain), before);

  fs::path text = dir_ / "text.mp3";
  WriteBytes(text, std::vector<uint8_t>(500, 'x'));
  EXPECT_EQ(beWriteVBRHeader(text.c_str()), BE_ERR_INVALID_FORMAT);
  EXPECT_EQ(beWriteVBRHeader((dir_ / "missing.mp3").c_str()), BE_ERR_INVALID_FORMAT_PARAMETERS);
}

}  // namespace
