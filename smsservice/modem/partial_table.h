// Parts of concatenated messages received so far, until each message is whole.
// The modem owns one, so that parts outlive each engine; touched only by the
// thread that lists messages (the start-up dialogue's, then the engine's).
#pragma once

#include <chrono>
#include <compare>
#include <cstddef>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "smsservice/modem/modem_sms.h"
#include "smsservice/modem/pdu_codec.h"

// Parts belong together when they come from one originator with one
// reference. An 8-bit and a 16-bit reference of the same value are different
// messages.
struct PartialKey {
  std::string originator;
  int reference = 0;
  bool wideReference = false;
  auto operator<=>(const PartialKey&) const = default;
};

// A message whose parts never all arrive (lost in the network, or sent so on
// purpose) would be kept for ever; so one waits at most a week (a phone off
// the network may take that long to send the rest), and at most this many
// wait, the oldest leaving first.
inline constexpr std::chrono::hours kPartialMaxAge{24 * 7};
inline constexpr size_t kPartialMaxPending = 1000;

// Where the table keeps its parts beyond the process (the journal): told of
// each part it stores and of each message that leaves it, joined or dropped.
class PartStore {
 public:
  struct StoredPart {
    PartialKey key;
    int totalParts = 0;
    ModemSms part;
    std::time_t firstSeen = 0;  // when the first part of its message came
  };

  virtual ~PartStore() = default;
  virtual void StorePart(const StoredPart& part) = 0;
  virtual void RemoveParts(const PartialKey& key) = 0;
  // In the order they were stored.
  virtual std::vector<StoredPart> StoredParts() = 0;
};

class PartialTable {
 public:
  // Ages are read on `clock`'s monotonic time; it must outlive the table.
  explicit PartialTable(const Clock& clock) : clock_(clock) {}

  // From now on every change also goes to `store`, which must outlive the
  // table; what it holds is taken in first, ages kept, the stale dropped.
  void KeepIn(PartStore& store);

  // Stores `record` (whose part field holds its sequence number) under `key`,
  // after every stored part whose sequence is not greater. When the list then
  // holds `totalParts` parts, `record` becomes the whole message: fields of
  // the first part, texts of all parts joined (cut to fit the text field), the
  // storage index it came with, part -1; the list is dropped and true returned.
  bool Add(ModemSms& record, const PartialKey& key, int totalParts);

  // A listing's records in its order, each part handed to Add: the part
  // that completes a message stands for the whole message, the others stay
  // parts (never delivered, but deleted from the modem).
  std::vector<ModemSms> Join(std::vector<DecodedSms> listed);

  size_t PendingMessages() const { return lists_.size(); }

 private:
  struct Pending {
    std::vector<ModemSms> parts;
    Clock::Monotonic::time_point firstSeen;
    int totalParts = 0;
  };

  // Drops what waited too long, and the oldest when a new message would
  // make too many wait.
  void DropStale(const PartialKey& arriving);
  void Drop(std::map<PartialKey, Pending>::iterator message, const char* why);

  // Stored in the table and told to the store.
  void Insert(const PartialKey& key, const ModemSms& record, int totalParts, Clock::Monotonic::time_point firstSeen);

  std::map<PartialKey, Pending> lists_;
  const Clock& clock_;
  PartStore* store_ = nullptr;
};
