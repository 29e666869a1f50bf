#include "smsservice/modem/partial_table.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage/codepage.h"

PartialTable& PartialTable::Instance() {
  static PartialTable table;
  return table;
}

bool PartialTable::Add(ModemSms& record, const PartialKey& key, int totalParts) {
  auto& parts = lists_[key];
  auto after = std::upper_bound(parts.begin(), parts.end(), record,
                                [](const ModemSms& a, const ModemSms& b) { return a.part < b.part; });
  parts.insert(after, record);
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
  lists_.erase(key);
  return true;
}
