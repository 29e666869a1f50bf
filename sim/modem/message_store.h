// The modem's SMS storage: numbered slots 1..capacity, each empty or holding
// one PDU with its AT status.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace modemsim {

// Values as "+CMGL"/"+CMGR" report them.
enum class SlotStatus { Unread = 0, Read = 1 };

struct StoredMessage {
  int index;
  SlotStatus status;
  std::string pdu;  // upper-case hex, service-centre part included
};

class MessageStore {
 public:
  explicit MessageStore(int capacity);

  int Capacity() const { return static_cast<int>(slots_.size()); }
  int Used() const;
  bool InRange(int index) const { return index >= 1 && index <= Capacity(); }

  // Puts each PDU into the lowest free slot, all or none; returns the slots
  // used, or nullopt when there are not enough free ones.
  std::optional<std::vector<int>> Store(const std::vector<std::string>& pdus, SlotStatus status);
  // The message in a slot, or nullptr when empty or out of range.
  StoredMessage* At(int index);
  // Empties a slot; an empty slot is no failure.
  void Erase(int index);
  void Clear();
  // Occupied slots in index order.
  std::vector<StoredMessage*> Occupied();

 private:
  std::vector<std::optional<StoredMessage>> slots_;
};

}  // namespace modemsim
