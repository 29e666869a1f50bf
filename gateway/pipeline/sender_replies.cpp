#include "gateway/pipeline/sender_replies.h"

#include "platform/codepage/codepage.h"

namespace {

constexpr size_t kQuotedCharacters = 10;
constexpr std::time_t kRefusalQuietS = 3600;

std::string Gbk(const std::string& utf8) { return codepage::Utf8ToGbk(utf8); }

}  // namespace

std::string Opening(const std::string& text, size_t count) {
  std::u16string units = codepage::GbkToUtf16(text);
  size_t end = 0;
  for (size_t characters = 0; end < units.size() && characters < count; ++characters) {
    bool pair = units[end] >= 0xD800 && units[end] < 0xDC00 && end + 1 < units.size();
    end += pair ? 2 : 1;
  }
  std::u16string opening = units.substr(0, end);
  if (end < units.size()) opening += u'\u2026';
  return codepage::Utf16ToGbk(opening);
}

std::string SenderReplies::Played(const std::string& number, const std::string& text, size_t terminals) {
  if (!settings_.replyConfirm) return {};
  return Send(number, Gbk("已播放：") + Opening(text, kQuotedCharacters) + Gbk("（") + std::to_string(terminals) +
                          Gbk("个终端）"));
}

std::string SenderReplies::Failed(const std::string& number, const std::string& text) {
  if (!settings_.replyConfirm) return {};
  return Send(number, Gbk("播放失败：") + Opening(text, kQuotedCharacters) + Gbk("，请联系管理员"));
}

std::string SenderReplies::Refused(const std::string& number, std::time_t now) {
  if (!settings_.replyRefused) return {};
  auto told = refusalToldAt_.find(number);
  if (told != refusalToldAt_.end() && now - told->second < kRefusalQuietS) return {};
  std::string sent = Send(number, Gbk("您的号码无权广播。"));
  if (!sent.empty()) refusalToldAt_[number] = now;
  return sent;
}

std::string SenderReplies::Send(const std::string& number, const std::string& text) {
  trouble_.clear();
  // A sender's name (an alphanumeric sender) cannot be answered.
  if (!IsTelephoneNumber(number)) return {};
  if (port_ == nullptr) trouble_ = "no SMS service to send through";
  else if (settings_.replyCentre.empty()) trouble_ = "[Reply] Centre, the SMS centre, is not set";
  else if (!port_->Send(number, text)) trouble_ = "the SMS service's modem is not ready";
  return trouble_.empty() ? text : std::string();
}
