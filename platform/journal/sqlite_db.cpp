#include "platform/journal/sqlite_db.h"

#include <ctime>
#include <filesystem>
#include <sqlite3.h>

namespace journal {

namespace {

namespace fs = std::filesystem;

std::string Why(sqlite3* db, int code) { return db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code); }

// "<path>.damaged-20261209-051500", with a count after it should that exist.
std::string AsideName(const std::string& path) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string name = path + ".damaged-" + stamp;
  std::string candidate = name;
  for (int n = 2; fs::exists(candidate); ++n) candidate = name + "-" + std::to_string(n);
  return candidate;
}

// The file and the write-ahead log and index that belong to it.
std::string MoveAside(const std::string& path) {
  std::string aside = AsideName(path);
  std::error_code error;
  fs::rename(path, aside, error);
  if (error) throw JournalError("cannot move the damaged journal " + path + " aside: " + error.message());
  for (const char* suffix : {"-wal", "-shm"}) {
    if (!fs::exists(path + suffix)) continue;
    fs::rename(path + suffix, aside + suffix, error);
    if (error) fs::remove(path + suffix, error);
  }
  return aside;
}

}  // namespace

Database::Database(const std::string& path, std::string_view schema, OpenReport* report) {
  const bool inMemory = path == kInMemory;
  const bool existed = !inMemory && fs::exists(path);
  try {
    OpenFile(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    Execute(schema);
    return;
  } catch (const JournalError& error) {
    Close();
    // A file that never existed could not be made: the folder is at fault,
    // and a second try would fail the same way.
    if (!existed) throw;
    std::string aside = MoveAside(path);
    if (report != nullptr) *report = {error.what(), aside};
  }
  OpenFile(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  Execute(schema);
}

std::unique_ptr<Database> Database::OpenReadOnly(const std::string& path) {
  std::unique_ptr<Database> db(new Database());
  int code = sqlite3_open_v2(path.c_str(), &db->db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (code != SQLITE_OK) throw JournalError(path + ": " + Why(db->db_, code));
  sqlite3_busy_timeout(db->db_, 5000);
  return db;
}

Database::~Database() { Close(); }

void Database::Close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

void Database::OpenFile(const std::string& path, int flags) {
  int code = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (code != SQLITE_OK) throw JournalError(path + ": " + Why(db_, code));
  sqlite3_busy_timeout(db_, 5000);
  // These read the file, so a damaged one shows here, before any work.
  // A journal's rows come and go: pages freed by a commit go back to the
  // system with it, and the log is cut back after each checkpoint, so the
  // files shrink when the messages have gone through.
  Execute("PRAGMA auto_vacuum=FULL");
  Execute("PRAGMA journal_mode=WAL");
  Execute("PRAGMA wal_autocheckpoint=64");
  Execute("PRAGMA journal_size_limit=262144");
  Execute("PRAGMA synchronous=FULL");
  Statement check(db_, "PRAGMA quick_check");
  if (!check.Step() || check.Text(0) != "ok") throw JournalError(path + ": integrity check failed");
}

void Database::Execute(std::string_view sql) {
  char* message = nullptr;
  int code = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &message);
  if (code == SQLITE_OK) return;
  std::string why = message != nullptr ? message : sqlite3_errstr(code);
  sqlite3_free(message);
  throw JournalError(why);
}

Statement Database::Prepare(std::string_view sql) { return Statement(db_, sql); }

int64_t Database::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

void Database::SetDurable(bool durable) { Execute(durable ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL"); }

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  int code = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr);
  if (code != SQLITE_OK) throw JournalError(Why(db, code));
}

Statement::~Statement() { sqlite3_finalize(statement_); }

Statement::Statement(Statement&& other) noexcept : db_(other.db_), statement_(other.statement_) {
  other.statement_ = nullptr;
}

Statement& Statement::Bind(int index, int64_t value) {
  sqlite3_bind_int64(statement_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::BindNull(int index) {
  sqlite3_bind_null(statement_, index);
  return *this;
}

bool Statement::Step() {
  int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  std::string why = Why(db_, code);
  sqlite3_reset(statement_);
  throw JournalError(why);
}

void Statement::Run() {
  while (Step()) {
  }
  Reset();
}

void Statement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

int64_t Statement::Integer(int column) const { return sqlite3_column_int64(statement_, column); }

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  return text != nullptr ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement_, column))) : "";
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

Transaction::Transaction(Database& db) : db_(db) { db_.Execute("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
  if (done_) return;
  try {
    db_.Execute("ROLLBACK");
  } catch (const JournalError&) {
    // Nothing left to undo: SQLite rolled back by itself.
  }
}

void Transaction::Commit() {
  db_.Execute("COMMIT");
  done_ = true;
}

}  // namespace journal
