// SMS-DELIVER PDUs (GSM 03.40) as the network would hand them to the modem:
// the text is split into concatenated parts when it does not fit one SMS.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace modemsim {

enum class SmsCoding { Gsm7, Ucs2, EightBit };

struct DeliverMessage {
  std::string serviceCentre;  // digits
  // Digits, optionally after a '+': an international number. Anything else
  // is an alphanumeric sender, packed in 7 bits.
  std::string originator;
  std::string text;  // UTF-8; 8-bit messages carry it in GBK, the programs' code page
  SmsCoding coding = SmsCoding::Gsm7;
  // 0: one plain SMS when the text fits, else as many parts as it needs.
  // K > 0: exactly K parts, each with a concatenation header (even K = 1).
  int parts = 0;
  bool wideReference = false;  // 16-bit concatenation reference
  int reference = 0;           // used only when the message is concatenated
  std::time_t time = 0;        // service-centre time stamp, in local time
};

struct DeliverPdus {
  std::vector<std::string> pdus;  // upper-case hex, in part order
  std::string error;              // why nothing could be encoded, else empty
};

DeliverPdus EncodeDeliver(const DeliverMessage& message);

}  // namespace modemsim
