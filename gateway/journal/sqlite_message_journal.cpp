#include "gateway/journal/sqlite_message_journal.h"

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS message (
  id INTEGER PRIMARY KEY AUTOINCREMENT, taken INTEGER NOT NULL, changed INTEGER NOT NULL,
  number TEXT NOT NULL, time TEXT NOT NULL, text TEXT NOT NULL, is_text INTEGER NOT NULL,
  fate INTEGER NOT NULL, reason TEXT NOT NULL DEFAULT '');
CREATE INDEX IF NOT EXISTS message_by_sender ON message (number, time);
CREATE TABLE IF NOT EXISTS accepted (message INTEGER PRIMARY KEY);
CREATE TABLE IF NOT EXISTS decision (
  id INTEGER PRIMARY KEY AUTOINCREMENT, at INTEGER NOT NULL, number TEXT NOT NULL, terminals TEXT NOT NULL,
  text TEXT NOT NULL, decision TEXT NOT NULL, reason TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS decision_by_time ON decision (at);
)sql";

}  // namespace

SqliteMessageJournal::SqliteMessageJournal(const std::string& path, const Clock& clock, journal::OpenReport* report)
    : db_(path, kSchema, report), clock_(clock) {
  // A sender's PIN is in a fetched message's text until the gateway takes
  // it out: what is overwritten or deleted does not stay in the file.
  db_.Execute("PRAGMA secure_delete=ON");
  // Only what has finished goes; what still waits is kept whatever its age.
  const char* prune =
      "DELETE FROM message WHERE fate NOT IN (0, 1) AND (changed < ? OR id <= "
      "(SELECT id FROM message ORDER BY id DESC LIMIT 1 OFFSET ?))";
  db_.Prepare(prune).Bind(1, clock_.WallNow() - kKeptS).Bind(2, int64_t{kKeptMessages}).Run();
  db_.Execute("DELETE FROM accepted WHERE message NOT IN (SELECT id FROM message)");
  db_.Prepare("DELETE FROM decision WHERE at < ?").Bind(1, clock_.WallNow() - kAuditKeptS).Run();
}

std::optional<int64_t> SqliteMessageJournal::Add(const JournaledMessage& message) {
  std::lock_guard hold(lock_);
  std::time_t now = clock_.WallNow();
  if (!message.isText) {
    auto repeat =
        db_.Prepare("SELECT 1 FROM message WHERE number = ? AND time = ? AND text = ? AND is_text = 0 AND taken >= ?");
    repeat.Bind(1, message.number).Bind(2, message.time).Bind(3, message.text).Bind(4, now - kRepeatWindowS);
    if (repeat.Step()) return std::nullopt;
  }
  db_.Prepare(
         "INSERT INTO message (taken, changed, number, time, text, is_text, fate, reason) "
         "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
      .Bind(1, now)
      .Bind(2, now)
      .Bind(3, message.number)
      .Bind(4, message.time)
      .Bind(5, message.text)
      .Bind(6, message.isText ? 1 : 0)
      .Bind(7, static_cast<int64_t>(message.fate))
      .Bind(8, message.reason)
      .Run();
  return db_.LastInsertId();
}

void SqliteMessageJournal::Record(int64_t id, MessageFate fate, const std::string& reason) {
  std::lock_guard hold(lock_);
  db_.Prepare("UPDATE message SET fate = ?, reason = ?, changed = ? WHERE id = ?")
      .Bind(1, static_cast<int64_t>(fate))
      .Bind(2, reason)
      .Bind(3, clock_.WallNow())
      .Bind(4, id)
      .Run();
}

std::vector<JournaledMessage> SqliteMessageJournal::Latest(size_t count) {
  std::lock_guard hold(lock_);
  std::vector<JournaledMessage> latest;
  auto rows = db_.Prepare(
      "SELECT id, taken, number, time, text, is_text, fate, reason FROM "
      "(SELECT * FROM message ORDER BY id DESC LIMIT ?) ORDER BY id");
  rows.Bind(1, static_cast<int64_t>(count));
  while (rows.Step()) {
    JournaledMessage& message = latest.emplace_back();
    message.id = rows.Integer(0);
    message.taken = rows.Integer(1);
    message.number = rows.Text(2);
    message.time = rows.Text(3);
    message.text = rows.Text(4);
    message.isText = rows.Integer(5) != 0;
    message.fate = static_cast<MessageFate>(rows.Integer(6));
    message.reason = rows.Text(7);
  }
  return latest;
}

void SqliteMessageJournal::Accept(int64_t id, const std::string& text) {
  std::lock_guard hold(lock_);
  journal::Transaction transaction(db_);
  db_.Prepare("UPDATE message SET text = ? WHERE id = ?").Bind(1, text).Bind(2, id).Run();
  db_.Prepare("INSERT OR IGNORE INTO accepted (message) VALUES (?)").Bind(1, id).Run();
  transaction.Commit();
}

bool SqliteMessageJournal::Accepted(int64_t id) {
  std::lock_guard hold(lock_);
  return db_.Prepare("SELECT 1 FROM accepted WHERE message = ?").Bind(1, id).Step();
}

void SqliteMessageJournal::Audit(const AuditEntry& entry) {
  std::lock_guard hold(lock_);
  db_.Prepare("INSERT INTO decision (at, number, terminals, text, decision, reason) VALUES (?, ?, ?, ?, ?, ?)")
      .BindAll(entry.at, entry.number, entry.terminals, entry.text, entry.decision, entry.reason)
      .Run();
}

std::vector<AuditEntry> SqliteMessageJournal::AuditBetween(std::time_t from, std::time_t to) {
  std::lock_guard hold(lock_);
  return ReadAudit(db_, from, to);
}

std::vector<AuditEntry> SqliteMessageJournal::ReadAudit(journal::Database& db, std::time_t from, std::time_t to) {
  std::vector<AuditEntry> entries;
  auto rows = db.Prepare(
      "SELECT at, number, terminals, text, decision, reason FROM decision WHERE at BETWEEN ? AND ? ORDER BY at, id");
  rows.Bind(1, from).Bind(2, to);
  while (rows.Step())
    entries.push_back({rows.Integer(0), rows.Text(1), rows.Text(2), rows.Text(3), rows.Text(4), rows.Text(5)});
  return entries;
}
