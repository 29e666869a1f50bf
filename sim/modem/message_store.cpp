#include "sim/modem/message_store.h"

namespace modemsim {

MessageStore::MessageStore(int capacity) : slots_(capacity) {}

int MessageStore::Used() const {
  int used = 0;
  for (const auto& slot : slots_) used += slot.has_value();
  return used;
}

std::optional<std::vector<int>> MessageStore::Store(const std::vector<std::string>& pdus, SlotStatus status) {
  if (static_cast<int>(pdus.size()) > Capacity() - Used()) return std::nullopt;
  std::vector<int> used;
  size_t next = 0;
  for (size_t i = 0; i < slots_.size() && next < pdus.size(); ++i) {
    if (slots_[i]) continue;
    int index = static_cast<int>(i) + 1;
    slots_[i] = StoredMessage{index, status, pdus[next++]};
    used.push_back(index);
  }
  return used;
}

StoredMessage* MessageStore::At(int index) {
  if (!InRange(index) || !slots_[index - 1]) return nullptr;
  return &*slots_[index - 1];
}

void MessageStore::Erase(int index) {
  if (InRange(index)) slots_[index - 1].reset();
}

void MessageStore::Clear() {
  for (auto& slot : slots_) slot.reset();
}

std::vector<StoredMessage*> MessageStore::Occupied() {
  std::vector<StoredMessage*> occupied;
  for (auto& slot : slots_)
    if (slot) occupied.push_back(&*slot);
  return occupied;
}

}  // namespace modemsim
