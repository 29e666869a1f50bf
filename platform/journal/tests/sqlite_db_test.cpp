#include "platform/journal/sqlite_db.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using journal::Database;
using journal::JournalError;

namespace {

constexpr const char* kSchema = "CREATE TABLE IF NOT EXISTS item (id INTEGER PRIMARY KEY, text TEXT NOT NULL)";

class JournalFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sqlite_db_test." + std::to_string(getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "journal.db").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  int Count(Database& db) {
    auto count = db.Prepare("SELECT count(*) FROM item");
    count.Step();
    return static_cast<int>(count.Integer(0));
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(JournalFolder, WhatWasCommittedIsThereWhenTheFileIsOpenedAgain) {
  {
    Database db(path_, kSchema);
    journal::Transaction transaction(db);
    db.Prepare("INSERT INTO item (text) VALUES (?)").Bind(1, "请到操场集合").Run();
    transaction.Commit();
    // Left without a commit: it must not be there afterwards.
    journal::Transaction abandoned(db);
    db.Prepare("INSERT INTO item (text) VALUES ('lost')").Run();
  }
  Database again(path_, kSchema);
  auto text = again.Prepare("SELECT text FROM item");
  ASSERT_TRUE(text.Step());
  EXPECT_EQ(text.Text(0), "请到操场集合");
  EXPECT_FALSE(text.Step());
}

TEST_F(JournalFolder, ADamagedFileIsMovedAsideAndANewJournalStarts) {
  using namespace std::string_literals;
  for (std::string content : {"this is not a database at all, just words"s, "SQLite format 3\0garbage after"s}) {
    content.resize(48, '#');
    {
      std::ofstream file(path_, std::ios::binary | std::ios::trunc);
      file.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    journal::OpenReport report;
    Database db(path_, kSchema, &report);
    EXPECT_FALSE(report.damage.empty());
    ASSERT_FALSE(report.movedTo.empty());
    EXPECT_TRUE(fs::exists(report.movedTo)) << "the damaged file is kept for whoever wants to look at it";
    EXPECT_EQ(fs::file_size(report.movedTo), 48u);
    db.Prepare("INSERT INTO item (text) VALUES ('new')").Run();
    EXPECT_EQ(Count(db), 1);
  }
}

TEST_F(JournalFolder, AJournalThatCannotBeCreatedIsAnErrorNotAnEmptyJournal) {
  std::ofstream(dir_ / "plain-file") << "x";
  EXPECT_THROW(Database((dir_ / "plain-file" / "journal.db").string(), kSchema), JournalError);
}

TEST(InMemoryJournal, HoldsWhatIsWrittenAndLeavesNoFile) {
  Database db(journal::kInMemory, kSchema);
  db.Prepare("INSERT INTO item (text) VALUES ('x')").Run();
  EXPECT_EQ(db.LastInsertId(), 1);
  EXPECT_FALSE(fs::exists(journal::kInMemory));
}

}  // namespace
