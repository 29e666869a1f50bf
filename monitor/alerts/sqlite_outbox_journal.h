// The monitor's outbox in vigimon.db, in its program directory: every
// message added reaches the disk before the monitor goes on.
#pragma once

#include <mutex>
#include <string>

#include "monitor/alerts/sms_outbox.h"
#include "platform/journal/sqlite_db.h"

class SqliteOutboxJournal final : public OutboxJournal {
 public:
  static constexpr const char* kFileName = "vigimon.db";

  // Opens or creates `path` (journal::kInMemory for none); a damaged file
  // is moved aside, as `report` then says. Throws journal::JournalError when
  // it cannot be made.
  explicit SqliteOutboxJournal(const std::string& path, journal::OpenReport* report = nullptr);

  int64_t Add(const OutboxEntry& entry) override;
  void Remove(int64_t id) override;
  std::vector<OutboxEntry> Waiting() override;

 private:
  journal::Database db_;
  std::mutex lock_;  // the window's thread adds, the pump's thread takes
};
