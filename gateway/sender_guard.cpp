#include "gateway/sender_guard.h"

namespace {

constexpr std::time_t kHourS = 3600;
constexpr const char* kMaskedWord = "****";

// The first word, which a sender meant as the PIN, hidden.
std::string MaskFirstWord(const std::string& text) {
  size_t blank = text.find(' ');
  return blank == std::string::npos ? kMaskedWord : kMaskedWord + text.substr(blank);
}

}  // namespace

bool TakePin(const std::string& pin, std::string& text) {
  if (pin.empty() || text.size() <= pin.size() || text.compare(0, pin.size(), pin) != 0 || text[pin.size()] != ' ')
    return false;
  text.erase(0, pin.size() + 1);
  return true;
}

SenderVerdict SenderGuard::Check(const GatewaySettings& settings, const std::string& number, const std::string& text,
                                 std::time_t now) {
  SenderVerdict verdict;
  verdict.text = text;
  auto pin = settings.pins.find(number);
  if (pin != settings.pins.end() && !pin->second.empty() && !TakePin(pin->second, verdict.text)) {
    verdict = {false, "wrong or missing PIN", MaskFirstWord(text)};
    return verdict;
  }
  if (settings.maxPerHour > 0) {
    std::deque<std::time_t>& times = allowedAt_[number];
    while (!times.empty() && now - times.front() >= kHourS) times.pop_front();
    if (static_cast<int32_t>(times.size()) >= settings.maxPerHour) {
      verdict.allowed = false;
      verdict.why = "more than " + std::to_string(settings.maxPerHour) + " messages within an hour";
      return verdict;
    }
    times.push_back(now);
  }
  return verdict;
}
