// "文本广播", "文件清理设置" and "通讯设置", driven through their widgets.
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "gateway/dialogs/qt/clear_file_dialog.h"
#include "gateway/dialogs/qt/comm_settings_dialog.h"
#include "gateway/dialogs/qt/text_broadcast_dialog.h"
#include "gateway/dialogs/tests/dialog_test_support.h"
#include "platform/ui/qt/widget_test_support.h"

namespace {

TEST(TextBroadcastWidget, RefusesAnEmptyNumberBeforeAnEmptyContent) {
  RecordingMessageBox box;
  CTextBroadcast dialog(nullptr, {"2", "13900001111", "10086"}, box);
  dialog.show();
  auto& number = Child<QComboBox>(dialog, "number");
  EXPECT_EQ(number.itemText(0), QStringLiteral("10086"));
  EXPECT_EQ(number.currentText(), QString());

  EXPECT_FALSE(ClickOk(dialog));
  QTest::keyClicks(number.lineEdit(), "1x0 086");
  EXPECT_EQ(number.currentText(), QStringLiteral("10086"));
  auto& content = Child<QPlainTextEdit>(dialog, "content");
  content.setPlainText(QStringLiteral("   \n\t "));
  EXPECT_FALSE(ClickOk(dialog));
  EXPECT_EQ(box.TakeTexts(), (std::vector<std::string>{"号码为空，请输入号码！", "广播内容为空，请输入内容！"}));

  content.setPlainText(QStringLiteral("\n 明天上午放假 \n"));
  ASSERT_TRUE(ClickOk(dialog));
  EXPECT_EQ(dialog.logic().number(), "10086");
  EXPECT_EQ(codepage::GbkToUtf8(dialog.logic().content()), "明天上午放假");
}

struct RecordingPreview : MessagePreview {
  PreviewResult Play(const std::string& text) override {
    played.push_back(codepage::GbkToUtf8(text));
    return PreviewResult::NoSoundOutput;
  }
  std::vector<std::string> played;
};

TEST(TextBroadcastWidget, ListenSpeaksTheContentAndSaysWhenThereIsNoSound) {
  RecordingMessageBox box;
  EXPECT_EQ(CTextBroadcast(nullptr, {}, box).findChild<QPushButton*>("preview"), nullptr) << "no sound, no button";
  RecordingPreview preview;
  CTextBroadcast dialog(nullptr, {"10086"}, box, &preview);
  dialog.show();
  Child<QPlainTextEdit>(dialog, "content").setPlainText(QStringLiteral(" 今晚停电 "));
  QTest::mouseClick(&Child<QPushButton>(dialog, "preview"), Qt::LeftButton);
  EXPECT_EQ(preview.played, (std::vector<std::string>{"今晚停电"}));
  EXPECT_EQ(box.TakeTexts(), (std::vector<std::string>{"本机没有可用的声音输出设备，无法试听。"}));
  EXPECT_TRUE(dialog.isVisible()) << "listening does not close the dialog";
}

TEST(ClearFileWidget, DayCountsOutOfRangeCanBeTypedAndAreRefused) {
  RecordingMessageBox box;
  CClearFileDlg dialog(nullptr, {"2024-05-01 08:00:00\n", 3, 30}, box);
  dialog.show();
  auto& interDay = *Child<QAbstractSpinBox>(dialog, "interDay").findChild<QLineEdit*>();
  auto& deadLineDay = *Child<QAbstractSpinBox>(dialog, "deadLineDay").findChild<QLineEdit*>();
  EXPECT_EQ(interDay.text(), QStringLiteral("3"));
  EXPECT_EQ(deadLineDay.text(), QStringLiteral("30"));

  Retype(interDay, "0");
  EXPECT_FALSE(ClickOk(dialog));
  Retype(interDay, "1");
  Retype(deadLineDay, "1000");
  EXPECT_EQ(deadLineDay.text(), QStringLiteral("1000"));
  EXPECT_FALSE(ClickOk(dialog));
  EXPECT_EQ(box.TakeTexts(),
            (std::vector<std::string>{"请输入一个介于 1 和 999 之间的整数。", "请输入一个介于 1 和 999 之间的整数。"}));

  // The up arrow brings a typed 1000 back into range, and stops at 999.
  QTest::keyClick(&Child<QAbstractSpinBox>(dialog, "deadLineDay"), Qt::Key_Up);
  EXPECT_EQ(deadLineDay.text(), QStringLiteral("999"));
  ASSERT_TRUE(ClickOk(dialog));
  EXPECT_EQ(dialog.values().interDay, 1u);
  EXPECT_EQ(dialog.values().deadLineDay, 999u);
}

TEST(CommSettingsWidget, RefusesALeadTimeAbove99999) {
  RecordingMessageBox box;
  CCommSettingsDlg dialog(nullptr, {"COM2", "9600", "127.0.0.1", 3}, box);
  dialog.show();
  auto& port = Child<QComboBox>(dialog, "port");
  auto& rate = Child<QComboBox>(dialog, "rate");
  EXPECT_EQ(port.currentText(), QStringLiteral("COM2"));
  EXPECT_EQ(port.count(), 8);
  EXPECT_EQ(rate.currentText(), QStringLiteral("9600"));
  EXPECT_EQ(rate.count(), 13);

  auto& delay = Child<QLineEdit>(dialog, "delay");
  Retype(delay, "100000");
  EXPECT_FALSE(ClickOk(dialog));
  EXPECT_EQ(box.TakeTexts(), std::vector<std::string>{"请输入一个介于 0 和 99999 之间的整数。"});

  Retype(delay, "0s");
  EXPECT_EQ(delay.text(), QStringLiteral("0"));
  port.setCurrentIndex(4);
  rate.setCurrentIndex(rate.count() - 1);
  Retype(Child<QLineEdit>(dialog, "serverAddress"), "10.9.8.7");
  ASSERT_TRUE(ClickOk(dialog));
  EXPECT_EQ(dialog.values().port, "COM5");
  EXPECT_EQ(dialog.values().rate, "921600");
  EXPECT_EQ(dialog.values().serverAddress, "10.9.8.7");
  EXPECT_EQ(dialog.values().delay, 0);
}

}  // namespace
