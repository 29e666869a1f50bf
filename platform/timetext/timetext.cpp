#include "platform/timetext/timetext.h"

#include <cerrno>
#include <cstddef>

namespace timetext {
namespace {

constexpr std::string_view kPattern = "dddd-dd-dd dd:dd:dd";

bool MatchesPattern(std::string_view text) {
  if (text.size() != kPattern.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool ok = kPattern[i] == 'd' ? text[i] >= '0' && text[i] <= '9' : text[i] == kPattern[i];
    if (!ok) return false;
  }
  return true;
}

int Digits(std::string_view text, std::size_t pos, std::size_t count) {
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::string FormatLocalTime(std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return {};
  char text[64];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return std::string(text, length);
}

std::string FormatLocalTime(std::chrono::system_clock::time_point time) {
  return FormatLocalTime(std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(time)));
}

std::optional<std::time_t> ParseLocalTime(std::string_view text) {
  if (!MatchesPattern(text)) return std::nullopt;
  const int year = Digits(text, 0, 4);
  const int month = Digits(text, 5, 2);
  const int day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2);
  const int minute = Digits(text, 14, 2);
  const int second = Digits(text, 17, 2);
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }

  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  errno = 0;
  const std::time_t time = std::mktime(&local);
  // -1 is also one second before the epoch; only errno tells a failure.
  if (time == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
  // mktime moves a time inside a daylight-saving gap to a real one; the
  // fields then differ from the text.
  if (local.tm_year != year - 1900 || local.tm_mon != month - 1 || local.tm_mday != day || local.tm_hour != hour ||
      local.tm_min != minute || local.tm_sec != second) {
    return std::nullopt;
  }
  return time;
}

}  // namespace timetext
