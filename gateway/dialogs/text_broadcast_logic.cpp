#include "gateway/dialogs/text_broadcast_logic.h"

#include <algorithm>

#include "gateway/dialogs/dialog_checks.h"
#include "platform/codepage/codepage.h"

namespace {

// Only single-byte white space: GBK trail bytes never fall in this set.
std::string Trimmed(const std::string& text) {
  constexpr const char* kBlanks = " \t\r\n\v\f";
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

TextBroadcastLogic::TextBroadcastLogic(std::vector<std::string> numbersOffered, ui::MessageBoxPort& messages)
    : numbers_(std::move(numbersOffered)), messages_(messages) {
  std::sort(numbers_.begin(), numbers_.end());
}

void TextBroadcastLogic::Refuse(const char* utf8Text) {
  messages_.Show(codepage::Utf8ToGbk(utf8Text), HERALDO_TITLE, ui::MessageIcon::Warning, ui::MB_OK);
}

bool TextBroadcastLogic::AcceptsNumberText(const std::string& text) { return IsDigitsOnly(text); }

bool TextBroadcastLogic::Preview(const std::string& contentText, MessagePreview& preview) {
  std::string content = Trimmed(contentText);
  if (content.empty()) {
    Refuse("广播内容为空，请输入内容！");
    return false;
  }
  switch (preview.Play(content)) {
    case PreviewResult::Playing: return true;
    case PreviewResult::NothingToSpeak: Refuse("广播内容没有可以播报的文字！"); break;
    case PreviewResult::NoSoundOutput: Refuse("本机没有可用的声音输出设备，无法试听。"); break;
    case PreviewResult::SpeechFailed: Refuse("语音合成失败，无法试听。"); break;
  }
  return false;
}

bool TextBroadcastLogic::Confirm(const std::string& numberText, const std::string& contentText) {
  if (numberText.empty()) {
    Refuse("号码为空，请输入号码！");
    return false;
  }
  std::string content = Trimmed(contentText);
  if (content.empty()) {
    Refuse("广播内容为空，请输入内容！");
    return false;
  }
  number_ = numberText;
  content_ = std::move(content);
  return true;
}
