#include "platform/metrics/html_text.h"

std::string MaskedNumber(const std::string& number) {
  if (number.size() <= 4) return number;
  return std::string(number.size() - 4, '*') + number.substr(number.size() - 4);
}

std::string FirstCharacters(const std::string& text, size_t count) {
  size_t at = 0, characters = 0;
  while (at < text.size() && characters < count) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    ++characters;
  }
  return at < text.size() ? text.substr(0, at) + "…" : text;
}

std::string HtmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\n': out += ' '; break;
      default: out += c;
    }
  }
  return out;
}

std::string ClockText(std::time_t when, std::time_t now) {
  std::tm local{}, today{};
  localtime_r(&when, &local);
  localtime_r(&now, &today);
  bool sameDay = local.tm_yday == today.tm_yday && local.tm_year == today.tm_year;
  char text[32];
  std::strftime(text, sizeof text, sameDay ? "%H:%M:%S" : "%m-%d %H:%M", &local);
  return text;
}
