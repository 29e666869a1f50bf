#include "smsservice/journal/sqlite_sms_journal.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/clock/manual_clock.h"
#include "smsservice/journal/journal_listing.h"

namespace fs = std::filesystem;

namespace {

ModemSms Sms(const char* number, const char* text) {
  ModemSms sms;
  std::strcpy(sms.number, number);
  std::strcpy(sms.timestamp, "26120905300032");
  std::strcpy(sms.text, text);
  return sms;
}

// Each test reopens the file as a restarted service would.
class SmsJournalFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sms_journal_test." + std::to_string(getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "quillon.db").string();
    Restart();
  }
  void TearDown() override {
    journal_.reset();
    fs::remove_all(dir_);
  }
  void Restart() {
    journal_.reset();
    journal_ = std::make_unique<SqliteSmsJournal>(path_, clock_);
  }

  ManualClock clock_{1'800'000'000};
  fs::path dir_;
  std::string path_;
  std::unique_ptr<SqliteSmsJournal> journal_;
};

TEST_F(SmsJournalFile, ReceivedMessagesComeBackInArrivalOrderUntilTheyAreFetched) {
  int64_t first = journal_->AddReceived(Sms("8613800138000", "\xB5\xDA\xD2\xBB"));  // 第一
  int64_t second = journal_->AddReceived(Sms("8613800138001", "second"));
  journal_->AddReceived(Sms("8613800138002", "third"));
  journal_->RemoveReceived(second);
  Restart();
  std::vector<ModemSms> waiting = journal_->WaitingReceived();
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_EQ(waiting[0].journalId, first);
  EXPECT_STREQ(waiting[0].text, "\xB5\xDA\xD2\xBB");
  EXPECT_STREQ(waiting[0].timestamp, "26120905300032");
  EXPECT_STREQ(waiting[1].text, "third");
  EXPECT_GT(journal_->AddReceived(Sms("8613800138003", "fourth")), waiting[1].journalId)
      << "ids never go back, so arrival order holds across restarts";
}

TEST_F(SmsJournalFile, ASendHandedToTheModemIsMarkedSoARestartKnowsItMayHaveGone) {
  int64_t handed = journal_->AddSend(Sms("8613900000001", "alert"));
  int64_t waiting = journal_->AddSend(Sms("8613900000002", "report"));
  int64_t sent = journal_->AddSend(Sms("8613900000003", "done"));
  journal_->MarkHandedToModem(handed);
  journal_->RemoveSend(sent);
  Restart();
  std::vector<JournaledSend> sends = journal_->WaitingSends();
  ASSERT_EQ(sends.size(), 2u);
  EXPECT_EQ(sends[0].sms.journalId, handed);
  EXPECT_TRUE(sends[0].mayHaveGone);
  EXPECT_STREQ(sends[0].sms.number, "8613900000001");
  EXPECT_EQ(sends[1].sms.journalId, waiting);
  EXPECT_FALSE(sends[1].mayHaveGone);
}

TEST_F(SmsJournalFile, AGivenUpSendLeavesTheQueueButStaysVisibleForAMonth) {
  int64_t id = journal_->AddSend(Sms("8613900000001", "\xB6\xCF\xCF\xDF"));  // 断线
  journal_->GiveUpSend(id, "the modem refused it 31 times");
  EXPECT_TRUE(journal_->WaitingSends().empty());
  EXPECT_EQ(journal_->Counts().givenUp, 1);
  std::string listing = DescribeJournal(path_);
  EXPECT_NE(listing.find("given up: 1"), std::string::npos) << listing;
  EXPECT_NE(listing.find("\"断线\"  (the modem refused it 31 times)"), std::string::npos) << listing;
  clock_.Advance(std::chrono::seconds(SqliteSmsJournal::kGivenUpKeptS + 1));
  Restart();
  EXPECT_EQ(journal_->Counts().givenUp, 0);
}

TEST_F(SmsJournalFile, NothingOfAFailedCommitIsKept) {
  EXPECT_THROW(journal_->Atomically([&] {
    journal_->AddReceived(Sms("8613800138000", "half a listing"));
    journal_->RememberListed("key", 3);
    throw journal::JournalError("disk full");
  }),
               journal::JournalError);
  EXPECT_TRUE(journal_->WaitingReceived().empty());
  EXPECT_FALSE(journal_->WasListed("key"));
}

TEST_F(SmsJournalFile, ListedEntriesAreForgottenWithTheirSlot) {
  journal_->RememberListed("a", 1);
  journal_->RememberListed("b", 2);
  journal_->ForgetSlot(1);
  Restart();
  EXPECT_FALSE(journal_->WasListed("a"));
  EXPECT_TRUE(journal_->WasListed("b"));
  journal_->ForgetAllSlots();
  EXPECT_FALSE(journal_->WasListed("b"));
}

// A message whose parts straddle a restart is still joined; one whose
// first part is more than a week old is dropped as the table takes it in.
TEST_F(SmsJournalFile, PartsOutliveARestartForAWeek) {
  {
    PartialTable table(clock_);
    table.KeepIn(*journal_);
    ModemSms one = Sms("8613800138000", "Hello ");
    one.part = 1;
    EXPECT_FALSE(table.Add(one, PartialKey{"8613800138000", 7, false}, 2));
    clock_.Advance(std::chrono::hours(24 * 7 - 2));
    ModemSms stale = Sms("8613800138009", "older");
    stale.part = 1;
    EXPECT_FALSE(table.Add(stale, PartialKey{"8613800138009", 1, false}, 2));
    clock_.Advance(std::chrono::hours(1));
  }
  Restart();
  EXPECT_EQ(journal_->Counts().partsWaiting, 2);
  clock_.Advance(std::chrono::hours(2));  // the first message's part is now over a week old
  PartialTable table(clock_);
  table.KeepIn(*journal_);
  EXPECT_EQ(table.PendingMessages(), 1u);
  ModemSms two = Sms("8613800138009", "news");
  two.part = 2;
  ASSERT_TRUE(table.Add(two, PartialKey{"8613800138009", 1, false}, 2));
  EXPECT_STREQ(two.text, "oldernews");
  EXPECT_EQ(journal_->Counts().partsWaiting, 0) << "joined parts leave the journal";
}

}  // namespace
