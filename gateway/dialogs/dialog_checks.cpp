#include "gateway/dialogs/dialog_checks.h"

#include <limits>

#include "platform/codepage/codepage.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace

bool IsDigitsOnly(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<int64_t> ParseFieldInteger(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  size_t firstDigit = pos;
  uint64_t magnitude = 0;
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    magnitude = magnitude * 10 + static_cast<uint64_t>(text[pos] - '0');
    if (magnitude > kLimit) return std::nullopt;
  }
  if (pos == firstDigit) return std::nullopt;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos != text.size()) return std::nullopt;
  auto value = static_cast<int64_t>(magnitude);
  return negative ? -value : value;
}

std::string RangeMessage(int64_t min, int64_t max) {
  return codepage::Utf8ToGbk("请输入一个介于 " + std::to_string(min) + " 和 " + std::to_string(max) + " 之间的整数。");
}

std::optional<int64_t> ReadFieldInRange(std::string_view text, int64_t min, int64_t max, ui::MessageBoxPort& messages) {
  auto value = ParseFieldInteger(text);
  if (value && *value >= min && *value <= max) return value;
  messages.Show(RangeMessage(min, max), HERALDO_TITLE, ui::MessageIcon::Warning, ui::MB_OK);
  return std::nullopt;
}

bool GbkContains(std::string_view text, std::string_view piece) {
  if (piece.empty()) return true;
  for (size_t pos = 0; pos + piece.size() <= text.size();) {
    if (text.compare(pos, piece.size(), piece) == 0) return true;
    pos += IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
  }
  return false;
}
