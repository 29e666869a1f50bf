#include "gateway/audio/chinese_numbers.h"

#include <array>

namespace {

constexpr std::array<const char*, 10> kDigits{"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
constexpr std::array<const char*, 4> kPlaces{"", "十", "百", "千"};
constexpr std::array<const char*, 4> kGroups{"", "万", "亿", "万亿"};
constexpr size_t kLongestQuantity = 16;

// Up to four digits, with a 零 for each gap between two non-zero digits.
// `first`: this group opens the number, where 10 to 19 start with "十".
std::string GroupText(std::string_view group, bool first) {
  std::string text;
  bool started = false, gap = false;
  for (size_t i = 0; i < group.size(); ++i) {
    int digit = group[i] - '0';
    size_t place = group.size() - 1 - i;
    if (digit == 0) {
      gap = started;
      continue;
    }
    if (gap) text += kDigits[0];
    gap = false;
    if (!(first && !started && place == 1 && digit == 1)) text += kDigits[digit];
    text += kPlaces[place];
    started = true;
  }
  return text;
}

}  // namespace

std::string ChineseQuantity(std::string_view digits, bool counted) {
  size_t firstNonZero = digits.find_first_not_of('0');
  if (firstNonZero == std::string_view::npos) return kDigits[0];
  digits.remove_prefix(firstNonZero);
  if (digits.size() > kLongestQuantity) return ChineseDigits(digits);
  if (digits == "2") return counted ? "两" : kDigits[2];

  std::string text;
  bool zeroGroup = false;
  size_t groups = (digits.size() + 3) / 4;
  size_t headLength = digits.size() - (groups - 1) * 4;
  for (size_t g = 0, at = 0; g < groups; ++g) {
    size_t length = g == 0 ? headLength : 4;
    std::string_view group = digits.substr(at, length);
    at += length;
    if (group.find_first_not_of('0') == std::string_view::npos) {
      zeroGroup = true;
      continue;
    }
    // 一万零一十, 一亿零一: a missing thousand between groups is said.
    if (!text.empty() && (zeroGroup || group[0] == '0')) text += kDigits[0];
    text += GroupText(group, text.empty()) + kGroups[groups - 1 - g];
    zeroGroup = false;
  }
  // 两千, 两万, 两亿: a leading 2 before a large unit.
  const std::string two = kDigits[2];
  if (text.compare(0, two.size(), two) == 0) {
    std::string_view rest = std::string_view(text).substr(two.size());
    if (rest.starts_with("千") || rest.starts_with("万") || rest.starts_with("亿")) text.replace(0, two.size(), "两");
  }
  return text;
}

std::string ChineseDigits(std::string_view digits, bool telephone) {
  std::string text;
  for (char c : digits) text += telephone && c == '1' ? "幺" : kDigits[c - '0'];
  return text;
}
