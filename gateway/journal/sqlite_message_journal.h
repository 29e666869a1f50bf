// The gateway's journal in heraldo.db, in the program directory. Taking a
// message and starting and ending its playing are commits that reach the
// disk before the program goes on.
#pragma once

#include <mutex>
#include <string>

#include "gateway/journal/message_journal.h"
#include "platform/clock/clock.h"
#include "platform/journal/sqlite_db.h"

class SqliteMessageJournal final : public MessageJournal {
 public:
  static constexpr const char* kFileName = "heraldo.db";
  // Finished messages are kept this long, and at most this many.
  static constexpr std::time_t kKeptS = 30 * 24 * 3600;
  static constexpr int kKeptMessages = 1000;
  // A repeat of an SMS is one the service handed out again after a stop.
  static constexpr std::time_t kRepeatWindowS = 3600;

  // Opens or creates `path` (journal::kInMemory for none); a damaged file
  // is moved aside, as `report` then says. Throws journal::JournalError when
  // it cannot be made. Times are read on `clock`.
  SqliteMessageJournal(const std::string& path, const Clock& clock, journal::OpenReport* report = nullptr);

  std::optional<int64_t> Add(const JournaledMessage& message) override;
  void Record(int64_t id, MessageFate fate, const std::string& reason) override;
  std::vector<JournaledMessage> Latest(size_t count) override;
  void Accept(int64_t id, const std::string& text) override;
  bool Accepted(int64_t id) override;
  void Audit(const AuditEntry& entry) override;
  std::vector<AuditEntry> AuditBetween(std::time_t from, std::time_t to) override;
  // The same from any open heraldo.db, a read-only one included.
  static std::vector<AuditEntry> ReadAudit(journal::Database& db, std::time_t from, std::time_t to);
  // Decisions are kept this long.
  static constexpr std::time_t kAuditKeptS = 400 * 24 * 3600;

 private:
  journal::Database db_;
  const Clock& clock_;
  // The agent's worker adds what it fetches; the window's thread does the rest.
  std::mutex lock_;
};
