// Parts of concatenated messages received so far, until each message is whole.
// Touched only by the traffic engine's thread.
#pragma once

#include <compare>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "smsservice/modem/modem_sms.h"

// Parts belong together when they come from one originator with one
// reference. An 8-bit and a 16-bit reference of the same value are different
// messages.
struct PartialKey {
  std::string originator;
  int reference = 0;
  bool wideReference = false;
  auto operator<=>(const PartialKey&) const = default;
};

class PartialTable {
 public:
  static PartialTable& Instance();

  // Stores `record` (whose part field holds its sequence number) under `key`,
  // after every stored part whose sequence is not greater. When the list then
  // holds `totalParts` parts, `record` becomes the whole message: fields of
  // the first part, texts of all parts joined (cut to fit the text field), the
  // storage index it came with, part -1; the list is dropped and true returned.
  bool Add(ModemSms& record, const PartialKey& key, int totalParts);

  size_t PendingMessages() const { return lists_.size(); }
  void Clear() { lists_.clear(); }

 private:
  std::map<PartialKey, std::vector<ModemSms>> lists_;
};
