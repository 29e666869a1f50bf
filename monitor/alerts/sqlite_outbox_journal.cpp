#include "monitor/alerts/sqlite_outbox_journal.h"

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS outbox (
  id INTEGER PRIMARY KEY AUTOINCREMENT, queued INTEGER NOT NULL,
  centre TEXT NOT NULL, peer TEXT NOT NULL, text TEXT NOT NULL, dcs INTEGER NOT NULL);
)sql";

}  // namespace

SqliteOutboxJournal::SqliteOutboxJournal(const std::string& path, journal::OpenReport* report)
    : db_(path, kSchema, report) {}

int64_t SqliteOutboxJournal::Add(const OutboxEntry& entry) {
  std::lock_guard hold(lock_);
  db_.Prepare("INSERT INTO outbox (queued, centre, peer, text, dcs) VALUES (?, ?, ?, ?, ?)")
      .Bind(1, entry.queued)
      .Bind(2, entry.centre)
      .Bind(3, entry.peer)
      .Bind(4, entry.text)
      .Bind(5, entry.dcs)
      .Run();
  return db_.LastInsertId();
}

void SqliteOutboxJournal::Remove(int64_t id) {
  std::lock_guard hold(lock_);
  db_.Prepare("DELETE FROM outbox WHERE id = ?").Bind(1, id).Run();
}

std::vector<OutboxEntry> SqliteOutboxJournal::Waiting() {
  std::lock_guard hold(lock_);
  std::vector<OutboxEntry> waiting;
  journal::Statement rows = db_.Prepare("SELECT id, queued, centre, peer, text, dcs FROM outbox ORDER BY id");
  while (rows.Step()) {
    OutboxEntry& entry = waiting.emplace_back();
    entry.id = rows.Integer(0);
    entry.queued = rows.Integer(1);
    entry.centre = rows.Text(2);
    entry.peer = rows.Text(3);
    entry.text = rows.Text(4);
    entry.dcs = static_cast<uint8_t>(rows.Integer(5));
  }
  return waiting;
}
