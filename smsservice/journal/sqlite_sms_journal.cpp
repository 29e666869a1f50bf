#include "smsservice/journal/sqlite_sms_journal.h"

#include <algorithm>
#include <cstring>

namespace {

using journal::Statement;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS listed (key TEXT PRIMARY KEY, slot INTEGER NOT NULL) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS listed_by_slot ON listed (slot);
CREATE TABLE IF NOT EXISTS received (
  id INTEGER PRIMARY KEY AUTOINCREMENT, arrived INTEGER NOT NULL,
  number TEXT NOT NULL, smsc TEXT NOT NULL, stamp TEXT NOT NULL, text TEXT NOT NULL,
  pid INTEGER NOT NULL, dcs INTEGER NOT NULL, parts INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS parts (
  id INTEGER PRIMARY KEY AUTOINCREMENT, originator TEXT NOT NULL, reference INTEGER NOT NULL,
  wide INTEGER NOT NULL, total INTEGER NOT NULL, first_seen INTEGER NOT NULL,
  number TEXT NOT NULL, smsc TEXT NOT NULL, stamp TEXT NOT NULL, text TEXT NOT NULL,
  pid INTEGER NOT NULL, dcs INTEGER NOT NULL, slot INTEGER NOT NULL, sequence INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS parts_by_message ON parts (originator, reference, wide);
CREATE TABLE IF NOT EXISTS sending (
  id INTEGER PRIMARY KEY AUTOINCREMENT, queued INTEGER NOT NULL,
  number TEXT NOT NULL, smsc TEXT NOT NULL, text TEXT NOT NULL, dcs INTEGER NOT NULL,
  handed INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS given_up (
  id INTEGER PRIMARY KEY, queued INTEGER NOT NULL, given_up INTEGER NOT NULL,
  number TEXT NOT NULL, text TEXT NOT NULL, reason TEXT NOT NULL);
)sql";

template <size_t N>
void CopyField(char (&field)[N], const std::string& value) {
  size_t length = std::min(value.size(), N - 1);
  std::memcpy(field, value.data(), length);
  field[length] = '\0';
}

// Number, centre, stamp, text, pid and dcs, in that order from column `first`.
void ReadMessage(const Statement& rows, int first, ModemSms& sms) {
  CopyField(sms.number, rows.Text(first));
  CopyField(sms.smsc, rows.Text(first + 1));
  CopyField(sms.timestamp, rows.Text(first + 2));
  CopyField(sms.text, rows.Text(first + 3));
  sms.pid = static_cast<uint8_t>(rows.Integer(first + 4));
  sms.dcs = static_cast<uint8_t>(rows.Integer(first + 5));
}

}  // namespace

SqliteSmsJournal::SqliteSmsJournal(const std::string& path, const Clock& clock, journal::OpenReport* report)
    : db_(path, kSchema, report), clock_(clock), durable_(path != journal::kInMemory) {
  db_.Prepare("DELETE FROM given_up WHERE given_up < ?").Bind(1, clock_.WallNow() - kGivenUpKeptS).Run();
}

void SqliteSmsJournal::Atomically(const std::function<void()>& work) {
  std::lock_guard hold(lock_);
  if (inTransaction_) return work();
  journal::Transaction transaction(db_);
  inTransaction_ = true;
  try {
    work();
    transaction.Commit();
  } catch (...) {
    inTransaction_ = false;
    throw;
  }
  inTransaction_ = false;
}

bool SqliteSmsJournal::WasListed(const std::string& key) {
  std::lock_guard hold(lock_);
  Statement find = db_.Prepare("SELECT 1 FROM listed WHERE key = ?");
  find.Bind(1, key);
  return find.Step();
}

void SqliteSmsJournal::RememberListed(const std::string& key, int slot) {
  std::lock_guard hold(lock_);
  db_.Prepare("INSERT OR REPLACE INTO listed (key, slot) VALUES (?, ?)").Bind(1, key).Bind(2, slot).Run();
}

void SqliteSmsJournal::ForgetSlot(int slot) {
  Quickly([&] { db_.Prepare("DELETE FROM listed WHERE slot = ?").Bind(1, slot).Run(); });
}

void SqliteSmsJournal::Quickly(const std::function<void()>& work) {
  std::lock_guard hold(lock_);
  db_.SetDurable(false);
  try {
    work();
  } catch (...) {
    db_.SetDurable(true);
    throw;
  }
  db_.SetDurable(true);
}

void SqliteSmsJournal::ForgetAllSlots() {
  std::lock_guard hold(lock_);
  db_.Execute("DELETE FROM listed");
}

int64_t SqliteSmsJournal::AddReceived(const ModemSms& sms) {
  std::lock_guard hold(lock_);
  db_.Prepare(
         "INSERT INTO received (arrived, number, smsc, stamp, text, pid, dcs, parts) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
      .Bind(1, clock_.WallNow())
      .Bind(2, sms.number)
      .Bind(3, sms.smsc)
      .Bind(4, sms.timestamp)
      .Bind(5, sms.text)
      .Bind(6, sms.pid)
      .Bind(7, sms.dcs)
      .Bind(8, sms.parts)
      .Run();
  return db_.LastInsertId();
}

void SqliteSmsJournal::RemoveReceived(int64_t id) {
  Quickly([&] { db_.Prepare("DELETE FROM received WHERE id = ?").Bind(1, id).Run(); });
}

std::vector<ModemSms> SqliteSmsJournal::WaitingReceived() {
  std::lock_guard hold(lock_);
  std::vector<ModemSms> waiting;
  Statement rows = db_.Prepare("SELECT id, number, smsc, stamp, text, pid, dcs, parts FROM received ORDER BY id");
  while (rows.Step()) {
    ModemSms& sms = waiting.emplace_back();
    sms.journalId = rows.Integer(0);
    ReadMessage(rows, 1, sms);
    sms.parts = static_cast<uint8_t>(rows.Integer(7));
    sms.index = SMS_NOT_STORED;
  }
  return waiting;
}

int64_t SqliteSmsJournal::AddSend(const ModemSms& sms) {
  std::lock_guard hold(lock_);
  db_.Prepare("INSERT INTO sending (queued, number, smsc, text, dcs) VALUES (?, ?, ?, ?, ?)")
      .Bind(1, clock_.WallNow())
      .Bind(2, sms.number)
      .Bind(3, sms.smsc)
      .Bind(4, sms.text)
      .Bind(5, sms.dcs)
      .Run();
  return db_.LastInsertId();
}

void SqliteSmsJournal::MarkHandedToModem(int64_t id) {
  Quickly([&] { db_.Prepare("UPDATE sending SET handed = 1 WHERE id = ? AND handed = 0").Bind(1, id).Run(); });
}

void SqliteSmsJournal::RemoveSend(int64_t id) {
  Quickly([&] { db_.Prepare("DELETE FROM sending WHERE id = ?").Bind(1, id).Run(); });
}

void SqliteSmsJournal::GiveUpSend(int64_t id, const std::string& why) {
  Atomically([&] {
    db_.Prepare(
           "INSERT OR REPLACE INTO given_up (id, queued, given_up, number, text, reason) "
           "SELECT id, queued, ?, number, text, ? FROM sending WHERE id = ?")
        .Bind(1, clock_.WallNow())
        .Bind(2, why)
        .Bind(3, id)
        .Run();
    db_.Prepare("DELETE FROM sending WHERE id = ?").Bind(1, id).Run();
  });
}

std::vector<JournaledSend> SqliteSmsJournal::WaitingSends() {
  std::lock_guard hold(lock_);
  std::vector<JournaledSend> waiting;
  Statement rows = db_.Prepare("SELECT id, number, smsc, text, dcs, handed FROM sending ORDER BY id");
  while (rows.Step()) {
    JournaledSend& send = waiting.emplace_back();
    send.sms.journalId = rows.Integer(0);
    CopyField(send.sms.number, rows.Text(1));
    CopyField(send.sms.smsc, rows.Text(2));
    CopyField(send.sms.text, rows.Text(3));
    send.sms.dcs = static_cast<uint8_t>(rows.Integer(4));
    send.mayHaveGone = rows.Integer(5) != 0;
  }
  return waiting;
}

int SqliteSmsJournal::Count(const char* sql) {
  Statement count = db_.Prepare(sql);
  count.Step();
  return static_cast<int>(count.Integer(0));
}

JournalCounts SqliteSmsJournal::Counts() {
  std::lock_guard hold(lock_);
  return {Count("SELECT count(*) FROM received"), Count("SELECT count(*) FROM sending"),
          Count("SELECT count(*) FROM given_up"),
          Count("SELECT count(*) FROM (SELECT DISTINCT originator, reference, wide FROM parts)")};
}

void SqliteSmsJournal::StorePart(const StoredPart& stored) {
  std::lock_guard hold(lock_);
  const ModemSms& part = stored.part;
  db_.Prepare(
         "INSERT INTO parts (originator, reference, wide, total, first_seen, number, smsc, stamp, text, pid, dcs, "
         "slot, sequence) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
      .Bind(1, stored.key.originator)
      .Bind(2, stored.key.reference)
      .Bind(3, stored.key.wideReference ? 1 : 0)
      .Bind(4, stored.totalParts)
      .Bind(5, stored.firstSeen)
      .Bind(6, part.number)
      .Bind(7, part.smsc)
      .Bind(8, part.timestamp)
      .Bind(9, part.text)
      .Bind(10, part.pid)
      .Bind(11, part.dcs)
      .Bind(12, part.index)
      .Bind(13, part.part)
      .Run();
}

void SqliteSmsJournal::RemoveParts(const PartialKey& key) {
  std::lock_guard hold(lock_);
  db_.Prepare("DELETE FROM parts WHERE originator = ? AND reference = ? AND wide = ?")
      .Bind(1, key.originator)
      .Bind(2, key.reference)
      .Bind(3, key.wideReference ? 1 : 0)
      .Run();
}

std::vector<PartStore::StoredPart> SqliteSmsJournal::StoredParts() {
  std::lock_guard hold(lock_);
  std::vector<StoredPart> parts;
  Statement rows = db_.Prepare(
      "SELECT originator, reference, wide, total, first_seen, number, smsc, stamp, text, pid, dcs, slot, sequence "
      "FROM parts ORDER BY id");
  while (rows.Step()) {
    StoredPart& stored = parts.emplace_back();
    stored.key = {rows.Text(0), static_cast<int>(rows.Integer(1)), rows.Integer(2) != 0};
    stored.totalParts = static_cast<int>(rows.Integer(3));
    stored.firstSeen = rows.Integer(4);
    ReadMessage(rows, 5, stored.part);
    stored.part.index = static_cast<int16_t>(rows.Integer(11));
    stored.part.part = static_cast<int16_t>(rows.Integer(12));
  }
  return parts;
}
