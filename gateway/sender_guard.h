// What a received SMS must pass besides the authorisation table: its
// entry's PIN at the start of the text, and the hourly limit per number.
// Both are off unless the settings name them.
#pragma once

#include <ctime>
#include <deque>
#include <map>
#include <string>

#include "gateway/gateway_settings.h"

struct SenderVerdict {
  bool allowed = true;
  std::string why;  // UTF-8, for the log and the audit trail; empty when allowed
  // The text to show, speak and keep: without the PIN, and with a wrong
  // one masked, so that no PIN or near miss is ever written anywhere.
  std::string text;
};

class SenderGuard {
 public:
  // `text` is GBK, as received. An allowed message counts towards the
  // number's hour from `now` on.
  SenderVerdict Check(const GatewaySettings& settings, const std::string& number, const std::string& text,
                      std::time_t now);

 private:
  // Per number, when its allowed messages came, the last hour's only.
  std::map<std::string, std::deque<std::time_t>> allowedAt_;
};

// "1234 text" -> "text" when 1234 is `pin`; nothing when the text does not
// begin with the PIN and a blank.
bool TakePin(const std::string& pin, std::string& text);
