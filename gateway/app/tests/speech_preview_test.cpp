// "试听" through the real voice and ALSA: its null device stands for a
// sound card, a device that does not exist for a machine without one.
#include "gateway/app/speech_preview.h"

#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

#include "gateway/dialogs/tests/dialog_test_support.h"
#include "gateway/dialogs/text_broadcast_logic.h"

namespace {

namespace fs = std::filesystem;

class Preview : public ::testing::Test {
 protected:
  Preview() : temp_(fs::temp_directory_path() / ("speech_preview_test." + std::to_string(getpid()))) {}
  ~Preview() override { fs::remove_all(temp_); }

  GatewaySettings settings_;
  fs::path temp_;
  RecordingMessageBox box_;
  TextBroadcastLogic dialog_{{"10086"}, box_};
};

TEST_F(Preview, PlaysTheMessageAndLeavesNoFileBehind) {
  SpeechPreview preview(settings_, temp_.string(), "null");
  EXPECT_TRUE(dialog_.Preview(codepage::Utf8ToGbk("明天8:30开会"), preview)) << preview.lastError();
  EXPECT_TRUE(box_.TakeTexts().empty());
  EXPECT_TRUE(fs::is_empty(temp_)) << "the preview's WAV file is removed once read";
}

TEST_F(Preview, TellsTheOperatorWhyItCannotPlay) {
  SpeechPreview noSound(settings_, temp_.string(), "hw:97,0");
  EXPECT_FALSE(dialog_.Preview(codepage::Utf8ToGbk("今晚停电"), noSound));
  EXPECT_NE(noSound.lastError().find("hw:97,0"), std::string::npos);
  EXPECT_FALSE(dialog_.Preview(codepage::Utf8ToGbk("？？！"), noSound));
  EXPECT_FALSE(dialog_.Preview(" \r\n", noSound));
  EXPECT_EQ(box_.TakeTexts(), (std::vector<std::string>{"本机没有可用的声音输出设备，无法试听。",
                                                        "广播内容没有可以播报的文字！", "广播内容为空，请输入内容！"}));
}

}  // namespace
