// Whether a number may broadcast, and on which terminals: the one rule the
// gateway decides by, at a message's arrival and again when it is played
// (the table may have changed in between).
#pragma once

#include <string>
#include <vector>

#include "gateway/gateway_settings.h"

enum class AuthorisationStep {
  Arrival,   // a listed number, or Regular=1 (every number)
  Playback,  // a listed number, or any Regular other than 0
};

struct Authorisation {
  bool allowed = false;
  // The number has an entry in the table; `ids` is its ID list.
  bool listed = false;
  std::string ids;
  // The broadcast goes to every terminal the server lists (Regular is not 0,
  // or the number has no entry); otherwise to `terminals`, the entry's.
  bool allTerminals = false;
  std::vector<int> terminals;
};

// A sender that is no telephone number (an alphanumeric one such as
// "InternetSMS") is never allowed.
Authorisation Authorise(const GatewaySettings& settings, const std::string& number, AuthorisationStep step);
