#include "smsservice/modem/partial_table.h"

#include <algorithm>
#include <cstring>
#include <syslog.h>

#include "platform/codepage/codepage.h"
#include "platform/log/activity_log.h"

std::vector<ModemSms> PartialTable::Join(std::vector<DecodedSms> listed) {
  std::vector<ModemSms> records;
  records.reserve(listed.size());
  for (DecodedSms& entry : listed) {
    if (entry.concatenation) {
      PartialKey key{entry.record.number, entry.concatenation->reference, entry.concatenation->wideReference};
      Add(entry.record, key, entry.concatenation->totalParts);
    }
    records.push_back(entry.record);
  }
  return records;
}

void PartialTable::KeepIn(PartStore& store) {
  store_ = nullptr;  // what comes from the store is not told to it again
  Clock::Monotonic::time_point now = clock_.MonotonicNow();
  std::time_t wallNow = clock_.WallNow();
  for (const PartStore::StoredPart& stored : store.StoredParts()) {
    auto age = std::chrono::seconds(std::max<std::time_t>(0, wallNow - stored.firstSeen));
    Insert(stored.key, stored.part, stored.totalParts, now - age);
  }
  store_ = &store;
  // Nothing arrives under an empty key, so this only ages them.
  DropStale(PartialKey{});
}

void PartialTable::Insert(const PartialKey& key, const ModemSms& record, int totalParts,
                          Clock::Monotonic::time_point firstSeen) {
  auto [message, added] = lists_.try_emplace(key);
  if (added) message->second.firstSeen = firstSeen;
  message->second.totalParts = totalParts;
  auto& parts = message->second.parts;
  auto after = std::upper_bound(parts.begin(), parts.end(), record,
                                [](const ModemSms& a, const ModemSms& b) { return a.part < b.part; });
  parts.insert(after, record);
  if (store_ == nullptr) return;
  std::time_t age =
      std::chrono::duration_cast<std::chrono::seconds>(clock_.MonotonicNow() - message->second.firstSeen).count();
  store_->StorePart({key, totalParts, record, clock_.WallNow() - age});
}

bool PartialTable::Add(ModemSms& record, const PartialKey& key, int totalParts) {
  DropStale(key);
  Insert(key, record, totalParts, clock_.MonotonicNow());
  auto& parts = lists_[key].parts;
  // Counting stored parts, not distinct sequence numbers: a part listed twice
  // counts twice.
  if (totalParts <= 0 || parts.size() != static_cast<size_t>(totalParts)) return false;

  int16_t arrivedIndex = record.index;
  record = parts.front();
  size_t length = std::strlen(record.text);
  for (auto part = parts.begin() + 1; part != parts.end(); ++part) {
    std::string_view more(part->text);
    size_t room = SMS_TEXT_FIELD - 1 - length;
    size_t take = codepage::GbkPrefixLength(more, room);
    std::memcpy(record.text + length, more.data(), take);
    length += take;
    if (take < more.size()) break;
  }
  record.text[length] = '\0';
  record.index = arrivedIndex;
  record.part = SMS_PART_COMPLETE;
  record.parts = static_cast<uint8_t>(std::min<size_t>(parts.size(), 255));
  lists_.erase(key);
  if (store_ != nullptr) store_->RemoveParts(key);
  return true;
}

void PartialTable::DropStale(const PartialKey& arriving) {
  Clock::Monotonic::time_point now = clock_.MonotonicNow();
  for (auto message = lists_.begin(); message != lists_.end();) {
    auto next = std::next(message);
    if (now - message->second.firstSeen >= kPartialMaxAge) Drop(message, "waited a week");
    message = next;
  }
  if (lists_.size() < kPartialMaxPending || lists_.count(arriving)) return;
  auto oldest = std::min_element(lists_.begin(), lists_.end(),
                                 [](const auto& a, const auto& b) { return a.second.firstSeen < b.second.firstSeen; });
  Drop(oldest, "too many incomplete messages");
}

void PartialTable::Drop(std::map<PartialKey, Pending>::iterator message, const char* why) {
  activity_log::Log(LOG_WARNING, "incomplete SMS from %s (reference %d, %zu of %d parts) dropped: %s",
                    message->first.originator.c_str(), message->first.reference, message->second.parts.size(),
                    message->second.totalParts, why);
  if (store_ != nullptr) store_->RemoveParts(message->first);
  lists_.erase(message);
}
