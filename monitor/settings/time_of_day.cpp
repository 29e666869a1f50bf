#include <cstdio>
#include <string_view>

#include "monitor/settings/monitor_settings.h"

namespace {

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (!text_.empty() && (text_.front() == ' ' || text_.front() == '\t')) text_.remove_prefix(1);
  }

  // One or two digits; a third digit makes the whole text unreadable.
  std::optional<int> Field() {
    int value = 0;
    int digits = 0;
    while (!text_.empty() && text_.front() >= '0' && text_.front() <= '9') {
      if (++digits > 2) return std::nullopt;
      value = value * 10 + (text_.front() - '0');
      text_.remove_prefix(1);
    }
    if (digits == 0) return std::nullopt;
    return value;
  }

  bool Take(char c) {
    if (text_.empty() || text_.front() != c) return false;
    text_.remove_prefix(1);
    return true;
  }

  // 'a' for AM, 'p' for PM, 0 when neither follows.
  char TakeMeridiem() {
    if (text_.size() < 2) return 0;
    const char first = static_cast<char>(text_[0] | 0x20);
    const char second = static_cast<char>(text_[1] | 0x20);
    if ((first != 'a' && first != 'p') || second != 'm') return 0;
    text_.remove_prefix(2);
    return first;
  }

  bool AtEnd() const { return text_.empty(); }

 private:
  std::string_view text_;
};

}  // namespace

std::optional<TimeOfDay> ParseTimeOfDay(const std::string& text) {
  Cursor cursor(text);
  cursor.SkipBlanks();
  const std::optional<int> hour = cursor.Field();
  if (!hour || !cursor.Take(':')) return std::nullopt;
  const std::optional<int> minute = cursor.Field();
  if (!minute) return std::nullopt;
  std::optional<int> second = 0;
  if (cursor.Take(':')) {
    second = cursor.Field();
    if (!second) return std::nullopt;
  }
  cursor.SkipBlanks();
  const char meridiem = cursor.TakeMeridiem();
  cursor.SkipBlanks();
  if (!cursor.AtEnd() || *minute > 59 || *second > 59) return std::nullopt;

  TimeOfDay time{*hour, *minute, *second};
  if (meridiem == 0) {
    if (time.hour > 23) return std::nullopt;
  } else {
    if (time.hour < 1 || time.hour > 12) return std::nullopt;
    time.hour %= 12;
    if (meridiem == 'p') time.hour += 12;
  }
  return time;
}

std::string FormatTimeOfDay(const TimeOfDay& time) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
  return text;
}

namespace {

int SecondOfDay(const TimeOfDay& time) { return (time.hour * 60 + time.minute) * 60 + time.second; }

}  // namespace

bool QuietHours::Contains(const TimeOfDay& time) const {
  int at = SecondOfDay(time), begins = SecondOfDay(from), ends = SecondOfDay(to);
  return begins < ends ? at >= begins && at < ends : at >= begins || at < ends;
}

std::optional<QuietHours> ParseQuietHours(const std::string& text) {
  std::size_t dash = text.find('-');
  if (dash == std::string::npos) return std::nullopt;
  auto from = ParseTimeOfDay(text.substr(0, dash));
  auto to = ParseTimeOfDay(text.substr(dash + 1));
  if (!from || !to || *from == *to) return std::nullopt;
  return QuietHours{*from, *to};
}

std::string FormatQuietHours(const QuietHours& quiet) {
  bool seconds = quiet.from.second != 0 || quiet.to.second != 0;
  auto format = [seconds](const TimeOfDay& time) {
    char text[16];
    if (seconds) std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    else std::snprintf(text, sizeof text, "%02d:%02d", time.hour, time.minute);
    return std::string(text);
  };
  return format(quiet.from) + "-" + format(quiet.to);
}
