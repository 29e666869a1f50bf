#include "gateway/audio/text_to_speech.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage/codepage.h"

namespace {

namespace fs = std::filesystem;

std::string BinDir() {
  const char* bin = std::getenv("QUILLON_BIN_DIR");
  return bin ? bin : "";
}

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | b[at + i];
  return value;
}

// The real engine with one step made to fail.
class FaultyVoice : public speech::Voice {
 public:
  FaultyVoice(std::unique_ptr<speech::Voice> real, bool failOutput, bool failSpeak)
      : real_(std::move(real)), failOutput_(failOutput), failSpeak_(failSpeak) {}
  bool SetVolume(int volume) override { return real_->SetVolume(volume); }
  int Volume() const override { return real_->Volume(); }
  void SetVoice(const speech::VoiceToken& token) override { real_->SetVoice(token); }
  const speech::VoiceToken& CurrentVoice() const override { return real_->CurrentVoice(); }
  bool SetOutput(speech::AudioStream* stream) override { return !failOutput_ && real_->SetOutput(stream); }
  bool Speak(std::string_view text) override { return real_->Speak(text) && !failSpeak_; }
  std::optional<std::string> Phonemes(std::string_view text) override { return real_->Phonemes(text); }

 private:
  std::unique_ptr<speech::Voice> real_;
  bool failOutput_, failSpeak_;
};

class FaultySpeechApi : public speech::SpeechApi {
 public:
  FaultySpeechApi(speech::SpeechApi& real) : real_(real) {}
  std::unique_ptr<speech::Voice> CreateVoice() override {
    if (noVoice) return nullptr;
    return std::make_unique<FaultyVoice>(real_.CreateVoice(), failOutput, failSpeak);
  }
  std::unique_ptr<speech::AudioStream> CreateStream() override { return noStream ? nullptr : real_.CreateStream(); }
  std::vector<speech::VoiceToken> EnumerateVoices() override { return real_.EnumerateVoices(); }

  bool noVoice = false, noStream = false, failOutput = false, failSpeak = false;

 private:
  speech::SpeechApi& real_;
};

class TextToSpeechTest : public ::testing::Test {
 protected:
  TextToSpeechTest() : dir_(fs::temp_directory_path() / ("text_to_speech_test." + std::to_string(getpid()))) {
    fs::create_directories(dir_);
  }
  ~TextToSpeechTest() override { fs::remove_all(dir_); }

  std::unique_ptr<speech::SpeechApi> CatalogueApi(const std::string& lines) {
    fs::path path = dir_ / "voices.catalogue";
    std::ofstream(path) << lines;
    return speech::MakeEspeakSpeechApi(path.string());
  }

  fs::path dir_;
  const std::string hello_ = codepage::Utf8ToGbk("你好，广播测试");
};

TEST_F(TextToSpeechTest, InstalledCatalogueGivesGirlXiaokunAndA44100StereoWav) {
  ASSERT_FALSE(BinDir().empty());
  auto api = speech::MakeEspeakSpeechApi(BinDir() + "/voices.catalogue");
  TextToSpeech speech(*api);
  ASSERT_NE(speech.CurrentVoice(), nullptr);
  EXPECT_EQ(speech.CurrentVoice()->description, "girl xiaokun");
  EXPECT_EQ(speech.CurrentVoice()->engineVoice.substr(0, 4), "cmn+") << "a Mandarin variant";

  fs::path wav = dir_ / "msg.wav";
  std::ofstream(wav) << std::string(100000, 'x');  // an old file of that name
  ASSERT_EQ(speech.Text2Wav(hello_, wav.string()), kText2WavWritten);
  EXPECT_EQ(Capture("soxi -r " + wav.string()), "44100");
  EXPECT_EQ(Capture("soxi -c " + wav.string()), "2");
  EXPECT_EQ(Capture("soxi -b " + wav.string()), "16");
  EXPECT_EQ(Capture("soxi -e " + wav.string()), "Signed Integer PCM");
  EXPECT_GT(std::stod(Capture("soxi -D " + wav.string())), 0.5);

  std::vector<uint8_t> bytes = ReadBytes(wav);
  ASSERT_GT(bytes.size(), 44u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le(bytes, 4, 4), bytes.size() - 8);
  EXPECT_EQ(Le(bytes, 16, 4), 16u) << "no extra format bytes";
  EXPECT_EQ(Le(bytes, 20, 2), 1u);
  EXPECT_EQ(Le(bytes, 28, 4), 176400u);
  EXPECT_EQ(Le(bytes, 32, 2), 4u);
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
  EXPECT_EQ(Le(bytes, 40, 4), bytes.size() - 44);

  // The same object serves again, replacing its own file.
  ASSERT_EQ(speech.Text2Wav(codepage::Utf8ToGbk("再见"), wav.string()), kText2WavWritten);
  EXPECT_LT(ReadBytes(wav).size(), bytes.size());
}

TEST_F(TextToSpeechTest, EmptyTextOrPathDoesNothing) {
  auto api = CatalogueApi("girl xiaokun | cmn+f3\n");
  TextToSpeech speech(*api);
  fs::path wav = dir_ / "msg.wav";
  EXPECT_EQ(speech.Text2Wav("", wav.string()), kText2WavNothingToDo);
  EXPECT_FALSE(fs::exists(wav));
  std::ofstream(wav) << "old";
  EXPECT_EQ(speech.Text2Wav("", wav.string()), kText2WavNothingToDo);
  EXPECT_EQ(fs::file_size(wav), 3u) << "untouched";
  EXPECT_EQ(speech.Text2Wav(hello_, ""), kText2WavNothingToDo);
}

TEST_F(TextToSpeechTest, EachFailingStepHasItsCodeAndLeavesNoFile) {
  auto real = CatalogueApi("girl xiaokun | cmn+f3\n");
  fs::path wav = dir_ / "msg.wav";
  {
    TextToSpeech speech(*real);
    EXPECT_EQ(speech.Text2Wav(hello_, (dir_ / "missing" / "msg.wav").string()), kText2WavBindFailed);
  }
  auto expectCode = [&](auto fault, int code) {
    FaultySpeechApi api(*real);
    fault(api);
    std::ofstream(wav) << "old";
    TextToSpeech speech(api);
    EXPECT_EQ(speech.Text2Wav(hello_, wav.string()), code);
    EXPECT_FALSE(fs::exists(wav)) << "code " << code;
  };
  expectCode([](FaultySpeechApi& api) { api.failOutput = true; }, kText2WavOutputFailed);
  expectCode([](FaultySpeechApi& api) { api.failSpeak = true; }, kText2WavSpeakFailed);
  expectCode([](FaultySpeechApi& api) { api.noVoice = true; }, kText2WavBindFailed);
  expectCode([](FaultySpeechApi& api) { api.noStream = true; }, kText2WavBindFailed);

  auto broken = CatalogueApi("girl xiaokun | no-such-voice\n");
  TextToSpeech speech(*broken);
  EXPECT_EQ(speech.Text2Wav(hello_, wav.string()), kText2WavSpeakFailed);
  EXPECT_FALSE(fs::exists(wav));
}

TEST_F(TextToSpeechTest, LastTokenDescribedGirlXiaokunInAnyCaseWinsElseTheDefaultStays) {
  {
    auto api = CatalogueApi(
        "普通话男声 | cmn\n"
        "GIRL XIAOKUN | cmn+f2\n"
        "girl xiaokun  | en+f3\n"  // trailing blanks are the file's, not the description's
        "Girl XiaoKun | cmn+f4\n"
        "girl xiaokun 2 | cmn+f5\n");
    TextToSpeech speech(*api);
    ASSERT_NE(speech.CurrentVoice(), nullptr);
    EXPECT_EQ(speech.CurrentVoice()->engineVoice, "cmn+f4");
  }
  {
    auto api = CatalogueApi("English male | en\nGirl | cmn+f3\nxiaokun | cmn+f2\n");
    TextToSpeech speech(*api);
    EXPECT_EQ(speech.CurrentVoice()->engineVoice, "en") << "the first token is the default voice";
  }
  {
    auto api = CatalogueApi("# nothing installed\n");
    TextToSpeech speech(*api);
    EXPECT_EQ(speech.CurrentVoice()->engineVoice, speech::BuiltInDefaultVoice().engineVoice);
  }
}

}  // namespace
