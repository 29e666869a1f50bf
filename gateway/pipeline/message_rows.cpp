#include "gateway/pipeline/message_rows.h"

#include "platform/codepage/codepage.h"

namespace {

// The texts are written here in UTF-8 and kept in GBK, converted once each.
std::string Gbk(const char* utf8) { return codepage::Utf8ToGbk(utf8); }

}  // namespace

const std::string& StateText(int32_t state) {
  static const std::string texts[] = {
      Gbk("短信正在播放"), Gbk("短信播放完成"), Gbk("短信等待播放"), Gbk("短信播放失败"),     Gbk("文本正在播放"),
      Gbk("文本播放完成"), Gbk("文本等待播放"), Gbk("文本播放失败"), Gbk("未播放（已过期）"), Gbk("未播放（已过期）"),
  };
  static const std::string none;
  return state >= 1 && state <= TEXT_EXPIRED ? texts[state - 1] : none;
}

const std::string& UnauthorisedText() {
  static const std::string text = Gbk("非授权号码");
  return text;
}

const std::string& SmsSourceText() {
  static const std::string text = Gbk("电话短信");
  return text;
}

const std::string& TextSourceText() {
  static const std::string text = Gbk("文本广播");
  return text;
}

size_t MessageRows::Append(MessageRow row) {
  if (rows_.size() >= kMaxRows) {
    if (onDrop_) onDrop_(rows_.front());
    rows_.pop_front();
    if (observer_.droppedFirst) observer_.droppedFirst();
  }
  rows_.push_back(std::move(row));
  if (observer_.added) observer_.added(rows_.size() - 1);
  return rows_.size() - 1;
}

void MessageRows::SetStateText(size_t row, const std::string& text) {
  rows_[row].columns[COL_STATE] = text;
  if (observer_.stateChanged) observer_.stateChanged(row);
}

void MessageRows::SetState(size_t row, int32_t state) {
  rows_[row].item->state = state;
  SetStateText(row, StateText(state));
}
