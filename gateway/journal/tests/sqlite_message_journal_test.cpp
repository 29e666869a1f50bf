#include "gateway/journal/sqlite_message_journal.h"

#include <filesystem>
#include <memory>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/clock/manual_clock.h"

namespace fs = std::filesystem;

namespace {

JournaledMessage Sms(const char* number, const char* time, const char* text) {
  JournaledMessage message;
  message.number = number;
  message.time = time;
  message.text = text;
  return message;
}

class MessageJournalFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("message_journal_test." + std::to_string(getpid()));
    fs::create_directories(dir_);
    Reopen();
  }
  void TearDown() override {
    journal_.reset();
    fs::remove_all(dir_);
  }
  void Reopen() {
    journal_.reset();
    journal_ = std::make_unique<SqliteMessageJournal>((dir_ / "heraldo.db").string(), clock_);
  }

  ManualClock clock_{1'800'000'000};
  fs::path dir_;
  std::unique_ptr<SqliteMessageJournal> journal_;
};

TEST_F(MessageJournalFile, FatesOutliveTheProgramInTheOrderTheMessagesCame) {
  int64_t played = *journal_->Add(Sms("13911112222", "2026-12-09 05:30:00", "first"));
  int64_t playing = *journal_->Add(Sms("13911112222", "2026-12-09 05:30:00", "second, same second"));
  journal_->Record(played, MessageFate::Played, "");
  journal_->Record(playing, MessageFate::Playing, "");
  JournaledMessage text = Sms("13911112222", "2026-12-09 05:31:00", "operator's");
  text.isText = true;
  int64_t failed = *journal_->Add(text);
  journal_->Record(failed, MessageFate::Failed, "the broadcast server did not start the session");
  Reopen();
  std::vector<JournaledMessage> latest = journal_->Latest(200);
  ASSERT_EQ(latest.size(), 3u);
  EXPECT_EQ(latest[0].fate, MessageFate::Played);
  EXPECT_EQ(latest[1].fate, MessageFate::Playing);
  EXPECT_EQ(latest[1].text, "second, same second");
  EXPECT_TRUE(latest[2].isText);
  EXPECT_EQ(latest[2].reason, "the broadcast server did not start the session");
  EXPECT_EQ(latest[2].taken, clock_.wall);
  EXPECT_EQ(journal_->Latest(2).front().id, playing) << "the last ones, oldest first";
}

// The service hands a message out again when it stopped just after handing
// it out; the gateway must not play it twice. A text broadcast typed twice
// is meant twice.
TEST_F(MessageJournalFile, AnSmsHandedOutAgainIsRecognisedForAnHour) {
  ASSERT_TRUE(journal_->Add(Sms("13911112222", "2026-12-09 05:30:00", "fire drill")));
  EXPECT_FALSE(journal_->Add(Sms("13911112222", "2026-12-09 05:30:00", "fire drill")));
  EXPECT_TRUE(journal_->Add(Sms("13911112222", "2026-12-09 05:30:00", "another text")));
  JournaledMessage typed = Sms("13911112222", "2026-12-09 05:30:00", "fire drill");
  typed.isText = true;
  EXPECT_TRUE(journal_->Add(typed));
  EXPECT_TRUE(journal_->Add(typed));
  clock_.Advance(std::chrono::seconds(SqliteMessageJournal::kRepeatWindowS + 1));
  EXPECT_TRUE(journal_->Add(Sms("13911112222", "2026-12-09 05:30:00", "fire drill")));
}

TEST_F(MessageJournalFile, FinishedMessagesGoAfterAMonthButWaitingOnesStay) {
  int64_t waiting = *journal_->Add(Sms("13911112222", "2026-11-01 08:00:00", "never played"));
  int64_t played = *journal_->Add(Sms("13911112223", "2026-11-01 08:00:00", "played"));
  journal_->Record(played, MessageFate::Played, "");
  clock_.Advance(std::chrono::seconds(SqliteMessageJournal::kKeptS + 1));
  Reopen();
  std::vector<JournaledMessage> latest = journal_->Latest(200);
  ASSERT_EQ(latest.size(), 1u);
  EXPECT_EQ(latest[0].id, waiting);
}

}  // namespace
