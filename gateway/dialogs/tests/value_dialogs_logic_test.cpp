// The checks of "文本广播", "文件清理设置" and "通讯设置".
#include <gtest/gtest.h>

#include "gateway/dialogs/clear_file_logic.h"
#include "gateway/dialogs/comm_settings_logic.h"
#include "gateway/dialogs/tests/dialog_test_support.h"
#include "gateway/dialogs/text_broadcast_logic.h"

namespace {

TEST(TextBroadcastLogic, ChecksTheNumberFirstThenTheTrimmedContent) {
  RecordingMessageBox box;
  TextBroadcastLogic dialog({"2", "13900001111", "10086"}, box);
  EXPECT_EQ(dialog.numbersOffered(), (std::vector<std::string>{"10086", "13900001111", "2"}));
  EXPECT_TRUE(TextBroadcastLogic::AcceptsNumberText("10086"));
  EXPECT_FALSE(TextBroadcastLogic::AcceptsNumberText("10 086"));
  EXPECT_FALSE(TextBroadcastLogic::AcceptsNumberText("1008６"));

  EXPECT_FALSE(dialog.Confirm("", ""));
  EXPECT_FALSE(dialog.Confirm("10086", " \t\r\n "));
  EXPECT_EQ(box.TakeTexts(), (std::vector<std::string>{"号码为空，请输入号码！", "广播内容为空，请输入内容！"}));
  EXPECT_EQ(box.shown.size(), 0u);

  std::string text = codepage::Utf8ToGbk("  今晚停电\r\n");
  ASSERT_TRUE(dialog.Confirm("10086", text));
  EXPECT_EQ(dialog.number(), "10086");
  EXPECT_EQ(codepage::GbkToUtf8(dialog.content()), "今晚停电");
}

TEST(ClearFileLogic, EachDayCountMustLieBetweenOneAndNineHundredNinetyNine) {
  RecordingMessageBox box;
  ClearFileLogic dialog({"2024-05-01 08:00:00\n", 7, 30}, box);
  EXPECT_EQ(dialog.interDayText(), "7");
  EXPECT_EQ(dialog.deadLineDayText(), "30");
  const std::string range = "请输入一个介于 1 和 999 之间的整数。";

  // The interval is checked first and stops the check.
  EXPECT_FALSE(dialog.Confirm("0", "1000"));
  EXPECT_FALSE(dialog.Confirm("1", "1000"));
  EXPECT_FALSE(dialog.Confirm("", "5"));
  ASSERT_EQ(box.shown.size(), 3u);
  for (const ShownBox& shown : box.shown) {
    EXPECT_EQ(shown.text, range);
    EXPECT_EQ(shown.caption, "Heraldo");
    EXPECT_EQ(shown.icon, ui::MessageIcon::Warning);
  }
  box.shown.clear();
  EXPECT_EQ(dialog.values().interDay, 7u);

  ASSERT_TRUE(dialog.Confirm("1", "999"));
  EXPECT_TRUE(box.shown.empty());
  EXPECT_EQ(dialog.values().interDay, 1u);
  EXPECT_EQ(dialog.values().deadLineDay, 999u);
  EXPECT_EQ(dialog.values().lastClearTime, "2024-05-01 08:00:00\n");

  // The up-down arrows never leave the range, even from a typed 1000.
  EXPECT_EQ(ClearFileLogic::StepDays("999", 1), "999");
  EXPECT_EQ(ClearFileLogic::StepDays("1", -1), "1");
  EXPECT_EQ(ClearFileLogic::StepDays("1000", -1), "998");
  EXPECT_EQ(ClearFileLogic::StepDays("41", 1), "42");
}

TEST(CommSettingsLogic, LeadTimeMustLieBetweenZeroAndNinetyNineThousandNineHundredNinetyNine) {
  RecordingMessageBox box;
  CommSettingsLogic dialog({"COM3", "14400", "10.1.1.1", 5}, box);
  EXPECT_EQ(dialog.portIndex(), 2u);
  // A rate the list does not hold shows no choice and stays as it was.
  EXPECT_FALSE(dialog.rateIndex());

  EXPECT_FALSE(dialog.Confirm({0, 6, "10.2.2.2", "100000"}));
  EXPECT_FALSE(dialog.Confirm({0, 6, "10.2.2.2", "99999999999999999999"}));
  EXPECT_EQ(box.TakeTexts(), (std::vector<std::string>{"请输入一个介于 0 和 99999 之间的整数。",
                                                       "请输入一个介于 0 和 99999 之间的整数。"}));
  EXPECT_EQ(dialog.values().port, "COM3");

  ASSERT_TRUE(dialog.Confirm({std::nullopt, std::nullopt, "10.2.2.2", "0"}));
  EXPECT_EQ(dialog.values().port, "COM3");
  EXPECT_EQ(dialog.values().rate, "14400");
  EXPECT_EQ(dialog.values().serverAddress, "10.2.2.2");
  EXPECT_EQ(dialog.values().delay, 0);

  ASSERT_TRUE(dialog.Confirm({7, 12, "10.2.2.2", "99999"}));
  EXPECT_EQ(dialog.values().port, "COM8");
  EXPECT_EQ(dialog.values().rate, "921600");
  EXPECT_EQ(dialog.values().delay, 99999);
  EXPECT_TRUE(box.shown.empty());
}

TEST(CommSettingsLogic, ARepliedSenderNeedsTheSmsCentre) {
  RecordingMessageBox box;
  CommSettingsLogic dialog({"COM3", "19200", "10.1.1.1", 1}, box);
  EXPECT_FALSE(dialog.Confirm({2, 6, "10.1.1.1", "1", true, false, ""}));
  EXPECT_EQ(box.TakeTexts(), std::vector<std::string>{"回复短信需要短信中心号码（如8613800100500）"});
  EXPECT_FALSE(dialog.values().replyConfirm);
  ASSERT_TRUE(dialog.Confirm({2, 6, "10.1.1.1", "1", false, true, "8613800100500"}));
  EXPECT_TRUE(dialog.values().replyRefused);
  EXPECT_EQ(dialog.values().replyCentre, "8613800100500");
  EXPECT_FALSE(CommSettingsLogic::AcceptsCentreText("+86138"));
  EXPECT_FALSE(CommSettingsLogic::AcceptsCentreText("8613800100500123"));
}

}  // namespace
