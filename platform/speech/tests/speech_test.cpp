#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "platform/speech/engine_voice_names.h"
#include "platform/speech/language_runs.h"
#include "platform/speech/resampler.h"
#include "platform/speech/speech_api.h"
#include "platform/speech/voice_catalogue.h"
#include "platform/speech/wav_file_stream.h"

namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() / ("speech_test." + std::to_string(getpid()) + "." + std::to_string(count_++));
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int count_ = 0;
  fs::path path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& wav) {
  std::vector<int16_t> samples;
  for (size_t i = 44; i + 1 < wav.size(); i += 2) samples.push_back(static_cast<int16_t>(wav[i] | wav[i + 1] << 8));
  return samples;
}

std::vector<int16_t> Sine(double frequency, uint32_t rate, size_t count, double amplitude) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * frequency * i / rate)));
  }
  return samples;
}

TEST(VoiceCatalogue, ListsTokensInOrderAndNamesTheLinesItLeftOut) {
  speech::VoiceCatalogue catalogue = speech::ParseVoiceCatalogue(
      "# voices\r\n"
      "\r\n"
      "  普通话男声 | cmn | 160 | 40\r\n"
      "girl xiaokun|cmn+f3\n"
      " | en | | 70\n"
      "only a description\n"
      "bad rate | en | fast\n"
      "too slow | en | 79\n"
      "too many | en | 175 | 50 | x\n"
      "no voice | | 175\n"
      "last | en+m3 | 450 | 99");
  ASSERT_EQ(catalogue.tokens.size(), 4u);
  EXPECT_EQ(catalogue.tokens[0].description, "普通话男声");
  EXPECT_EQ(catalogue.tokens[0].engineVoice, "cmn");
  EXPECT_EQ(catalogue.tokens[0].rate, 160);
  EXPECT_EQ(catalogue.tokens[0].pitch, 40);
  EXPECT_EQ(catalogue.tokens[1].description, "girl xiaokun");
  EXPECT_EQ(catalogue.tokens[1].engineVoice, "cmn+f3");
  EXPECT_EQ(catalogue.tokens[1].rate, speech::kDefaultRate);
  EXPECT_EQ(catalogue.tokens[1].pitch, speech::kDefaultPitch);
  EXPECT_EQ(catalogue.tokens[2].description, "");
  EXPECT_EQ(catalogue.tokens[2].rate, speech::kDefaultRate);
  EXPECT_EQ(catalogue.tokens[2].pitch, 70);
  EXPECT_EQ(catalogue.tokens[3].engineVoice, "en+m3");
  EXPECT_EQ(catalogue.badLines, (std::vector<int>{6, 7, 8, 9, 10}));
  EXPECT_FALSE(speech::ReadVoiceCatalogue("/nonexistent/voices.catalogue"));
}

TEST(Resampler, DoublesTheRateOfASineFedInUnevenBlocks) {
  const std::vector<int16_t> input = Sine(1000, 22050, 2205, 12000);
  speech::Resampler blockwise(22050, 44100);
  std::vector<int16_t> output;
  size_t at = 0;
  for (size_t block : {1u, 2u, 37u, 500u, 1000u}) {
    blockwise.Process(std::span(input).subspan(at, block), output);
    at += block;
  }
  blockwise.Process(std::span(input).subspan(at), output);
  blockwise.Finish(output);

  speech::Resampler whole(22050, 44100);
  std::vector<int16_t> once;
  whole.Process(input, once);
  whole.Finish(once);
  EXPECT_EQ(output, once);

  ASSERT_EQ(output.size(), 2 * input.size());
  const std::vector<int16_t> expected = Sine(1000, 44100, output.size(), 12000);
  int worst = 0;
  for (size_t i = 64; i + 64 < output.size(); ++i) worst = std::max(worst, std::abs(output[i] - expected[i]));
  EXPECT_LE(worst, 24) << "0.2% of full scale";
  EXPECT_EQ(output[0], 0);
}

TEST(Resampler, KeepsALevelGoingDownOrAtAnOddRatioAndIsReusableAfterFinish) {
  struct Case {
    uint32_t in, out;
    size_t expected;
  };
  // 22050 -> 44099 has too many phases for a table.
  for (Case c : {Case{48000, 44100, 4410}, Case{22050, 44099, 4410}}) {
    speech::Resampler resampler(c.in, c.out);
    for (int round = 0; round < 2; ++round) {
      std::vector<int16_t> input(c.in / 10, 1000);
      std::vector<int16_t> output;
      resampler.Process(input, output);
      resampler.Finish(output);
      ASSERT_EQ(output.size(), c.expected) << c.in << " -> " << c.out << ": ceil(n * out / in)";
      for (size_t i = 100; i + 100 < output.size(); ++i) ASSERT_NEAR(output[i], 1000, 1) << c.out << " at " << i;
    }
  }
}

TEST(WavFileStream, WritesTheCanonicalHeaderAndTruncatesOnRebinding) {
  TempDir dir;
  std::string path = dir.File("a.wav");
  auto stream = speech::MakeWavFileStream();
  EXPECT_FALSE(stream->Write(std::vector<int16_t>{1, 2}));
  ASSERT_TRUE(stream->BindToFile(path, {2, 44100, 16}));
  EXPECT_FALSE(stream->Write(std::vector<int16_t>{1, 2, 3})) << "half a frame";
  ASSERT_TRUE(stream->Write(std::vector<int16_t>{1, -1, 0x1234, 0x7fff}));
  ASSERT_TRUE(stream->Close());
  const std::vector<uint8_t> expected = {
      'R', 'I', 'F',  'F',  44,   0,    0,    0,   'W',  'A',  'V', 'E', 'f',  'm',  't', ' ',  //
      16,  0,   0,    0,    1,    0,    2,    0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,    // 44100, 176400
      4,   0,   16,   0,    'd',  'a',  't',  'a', 8,    0,    0,   0,                          //
      1,   0,   0xFF, 0xFF, 0x34, 0x12, 0xFF, 0x7F};
  EXPECT_EQ(ReadBytes(path), expected);

  ASSERT_TRUE(stream->BindToFile(path, {1, 22050, 16}));
  ASSERT_TRUE(stream->Close());
  std::vector<uint8_t> empty = ReadBytes(path);
  ASSERT_EQ(empty.size(), 44u);
  EXPECT_EQ(empty[4], 36);
  EXPECT_EQ(empty[22], 1);
  EXPECT_EQ(empty[40], 0);

  EXPECT_FALSE(stream->BindToFile(dir.File("missing/a.wav"), {2, 44100, 16}));
  EXPECT_FALSE(stream->BindToFile(path, {2, 44100, 8}));
  EXPECT_FALSE(stream->IsBound());
}

class EspeakVoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_.File("voices.catalogue")) << "first | cmn+f3\n";
    api_ = speech::MakeEspeakSpeechApi(dir_.File("voices.catalogue"));
    voice_ = api_->CreateVoice();
    ASSERT_TRUE(voice_) << "espeak-ng did not start";
    stream_ = api_->CreateStream();
  }

  TempDir dir_;
  std::unique_ptr<speech::SpeechApi> api_;
  std::unique_ptr<speech::Voice> voice_;
  std::unique_ptr<speech::AudioStream> stream_;
};

TEST_F(EspeakVoiceTest, SpeaksIntoTheStreamInTheStreamsFormat) {
  EXPECT_EQ(voice_->CurrentVoice().description, "first") << "the first token is the default";
  EXPECT_EQ(voice_->Volume(), 100);
  EXPECT_FALSE(voice_->Speak("你好")) << "no output yet";
  EXPECT_FALSE(voice_->SetOutput(stream_.get())) << "unbound";

  std::string path = dir_.File("a.wav");
  ASSERT_TRUE(stream_->BindToFile(path, {2, 44100, 16}));
  ASSERT_TRUE(voice_->SetOutput(stream_.get()));
  ASSERT_TRUE(voice_->Speak("你好"));
  ASSERT_TRUE(stream_->Close());
  std::vector<int16_t> samples = Samples(ReadBytes(path));
  ASSERT_GT(samples.size(), 2u * 44100 / 4) << "at least a quarter second";
  int peak = 0;
  for (size_t i = 0; i + 1 < samples.size(); i += 2) {
    ASSERT_EQ(samples[i], samples[i + 1]) << "both channels carry the one voice";
    peak = std::max(peak, std::abs(int{samples[i]}));
  }
  EXPECT_GT(peak, 2000);
}

// Debian's "cmn" reads pinyin as English; a catalogue naming it must still
// get Mandarin, keeping its variant, and its Latin words the English voice.
TEST(EngineVoices, MandarinTokensSpeakPinyinAsMandarinAndLatinAsEnglish) {
  for (const char* name : {"cmn", "CMN+f3", "zh", "zh-cmn+m2", "cmn-latn-pinyin"}) {
    EXPECT_TRUE(speech::IsMandarinVoice(name)) << name;
  }
  for (const char* name : {"en", "en+f3", "yue", "cmnx", ""}) EXPECT_FALSE(speech::IsMandarinVoice(name)) << name;
  EXPECT_EQ(speech::MandarinEngineVoice("cmn+f3"), "cmn-latn-pinyin+f3");
  EXPECT_EQ(speech::MandarinEngineVoice("cmn"), "cmn-latn-pinyin");
  EXPECT_EQ(speech::LatinEngineVoice("cmn+f3"), "en+f3");

  using Runs = std::vector<speech::LanguageRun>;
  EXPECT_EQ(speech::SplitLanguageRuns("请到B栋开会"), (Runs{{"请到", false}, {"B", true}, {"栋开会", false}}));
  EXPECT_EQ(speech::SplitLanguageRuns("连接 Wi-Fi School Guest 后登录"),
            (Runs{{"连接", false}, {"Wi-Fi School Guest", true}, {"后登录", false}}));
  EXPECT_EQ(speech::SplitLanguageRuns("邮件admin@qq.com。"),
            (Runs{{"邮件", false}, {"admin@qq.com", true}, {"。", false}}));
  EXPECT_EQ(speech::SplitLanguageRuns("  "), Runs{});
}

TEST_F(EspeakVoiceTest, AMandarinTokenSaysItsLatinWordsInEnglish) {
  std::optional<std::string> phonemes = voice_->Phonemes("你好ABC");
  ASSERT_TRUE(phonemes);
  EXPECT_NE(phonemes->find("(en),eIb,i:s'i:"), std::string::npos) << *phonemes;
  EXPECT_NE(phonemes->find("n'i35"), std::string::npos) << "你 in Mandarin, with its tone change: " << *phonemes;
  std::optional<std::string> chinese = voice_->Phonemes("今天天气很好");
  ASSERT_TRUE(chinese);
  EXPECT_EQ(chinese->find("(en)"), std::string::npos) << *chinese;
}

}  // namespace
