// A journal database: one SQLite file in WAL mode, opened so that a commit
// that stands between a message and its loss reaches the disk before it
// returns. A file that cannot be read as a database is moved aside and a new
// one started, so that a damaged journal never keeps a program from running.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace journal {

// A statement or commit that failed; the program decides what it costs.
class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The in-memory database tests use: nothing reaches a file.
inline constexpr const char* kInMemory = ":memory:";

// What opening found: empty when the file was sound (or new); otherwise why
// it was moved aside and where to.
struct OpenReport {
  std::string damage;
  std::string movedTo;
};

class Statement;

class Database {
 public:
  // Opens or creates `path` (kInMemory for none) and runs `schema`. Throws
  // JournalError when the file cannot be created or written at all (a
  // folder without permission); moves a damaged file aside instead.
  Database(const std::string& path, std::string_view schema, OpenReport* report = nullptr);
  // Read-only, for operators' tools: never creates, never moves anything.
  static std::unique_ptr<Database> OpenReadOnly(const std::string& path);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void Execute(std::string_view sql);
  Statement Prepare(std::string_view sql);
  int64_t LastInsertId() const;
  // Durable commits wait for the disk (synchronous=FULL); the others may be
  // lost with the last moments before a power cut, never corrupted.
  void SetDurable(bool durable);

  sqlite3* handle() const { return db_; }

 private:
  Database() = default;
  void OpenFile(const std::string& path, int flags);
  void Close();

  sqlite3* db_ = nullptr;
};

// One prepared statement; binds are 1-based, columns 0-based.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, std::string_view text);
  Statement& BindNull(int index);
  // Each value in its turn, from 1.
  template <typename... Values>
  Statement& BindAll(const Values&... values) {
    int index = 0;
    (Bind(++index, values), ...);
    return *this;
  }
  // True while a row is there to read; false when done.
  bool Step();
  // Runs a statement that returns no rows, then resets it for reuse.
  void Run();
  void Reset();

  int64_t Integer(int column) const;
  std::string Text(int column) const;
  bool IsNull(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
class Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Database& db_;
  bool done_ = false;
};

}  // namespace journal
