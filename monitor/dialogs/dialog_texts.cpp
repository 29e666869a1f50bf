#include "monitor/dialogs/dialog_texts.h"

#include <limits>

#include "platform/codepage/codepage.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

std::string TrimBlanks(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

bool IsDigitsOnly(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<int32_t> ReadIntegerField(std::string_view text, ui::MessageBoxPort& messages) {
  std::string trimmed = TrimBlanks(text);
  std::string_view digits = trimmed;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  int64_t value = 0;
  bool fits = !digits.empty() && IsDigitsOnly(digits);
  for (size_t i = 0; fits && i < digits.size(); ++i) {
    value = value * 10 + (digits[i] - '0');
    fits = value <= int64_t{std::numeric_limits<int32_t>::max()} + (negative ? 1 : 0);
  }
  if (!fits) {
    messages.Show(codepage::Utf8ToGbk("请输入一个整数。"), "Vigimon", ui::MessageIcon::Warning, ui::MB_OK);
    return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

void ShowDialogError(ui::MessageBoxPort& messages, std::string_view textUtf8, std::string_view captionUtf8) {
  messages.Show(codepage::Utf8ToGbk(textUtf8), codepage::Utf8ToGbk(captionUtf8), ui::MessageIcon::Error, ui::MB_OK);
}

bool ConfirmDelete(ui::MessageBoxPort& messages, const std::string& nameGbk) {
  std::string text = codepage::Utf8ToGbk("确定要删除 “") + nameGbk + codepage::Utf8ToGbk("” 吗？");
  return messages.Show(text, codepage::Utf8ToGbk("删除"), ui::MessageIcon::None, ui::MB_OKCANCEL) == ui::IDOK;
}
