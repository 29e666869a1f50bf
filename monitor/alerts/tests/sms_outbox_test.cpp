#include "monitor/alerts/sms_outbox.h"

#include <filesystem>
#include <memory>
#include <unistd.h>

#include <gtest/gtest.h>

#include "monitor/alerts/sqlite_outbox_journal.h"
#include "platform/clock/manual_clock.h"

namespace fs = std::filesystem;

namespace {

// The client agent: takes a message only while its modem is ready.
struct Carrier : AlertSender {
  bool ready = false;
  std::vector<std::string> taken;  // peers
  bool QueueSend(const char*, const char* peer, const char*, uint8_t) override {
    if (ready) taken.push_back(peer);
    return ready;
  }
};

class Outbox : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sms_outbox_test." + std::to_string(getpid()));
    fs::create_directories(dir_);
    Restart();
  }
  void TearDown() override {
    outbox_.reset();
    journal_.reset();
    fs::remove_all(dir_);
  }
  // As after the monitor was killed: only the file remains.
  void Restart() {
    outbox_.reset();
    journal_ = std::make_unique<SqliteOutboxJournal>((dir_ / "vigimon.db").string());
    outbox_ = std::make_unique<SmsOutbox>(*journal_, carrier_, clock_, 60,
                                          [this](const std::string& line) { notes_.push_back(line); });
  }

  ManualClock clock_{1'800'000'000};
  Carrier carrier_;
  std::vector<std::string> notes_;
  fs::path dir_;
  std::unique_ptr<SqliteOutboxJournal> journal_;
  std::unique_ptr<SmsOutbox> outbox_;
};

TEST_F(Outbox, AlertsWaitForTheModemAndGoInOrderEachOnceTheServiceTookIt) {
  ASSERT_TRUE(outbox_->QueueSend("8613800100500", "8613900000001", "alert", 8));
  ASSERT_TRUE(outbox_->QueueSend("8613800100500", "8613900000002", "alert", 8));
  outbox_->Pump();
  EXPECT_TRUE(carrier_.taken.empty()) << "no modem: it waits";

  carrier_.ready = true;
  outbox_->Pump();
  outbox_->Pump();
  EXPECT_EQ(carrier_.taken, std::vector<std::string>{"8613900000001"}) << "one at a time, until its end is heard";
  outbox_->Heard(SendOutcome::Lost);
  outbox_->Pump();
  EXPECT_EQ(carrier_.taken, (std::vector<std::string>{"8613900000001", "8613900000001"})) << "lost: tried again";
  outbox_->Heard(SendOutcome::Accepted);

  Restart();  // killed with the second still waiting
  outbox_->Pump();
  outbox_->Heard(SendOutcome::Accepted);
  outbox_->Pump();
  EXPECT_EQ(carrier_.taken.back(), "8613900000002");
  EXPECT_EQ(carrier_.taken.size(), 3u);
  EXPECT_TRUE(journal_->Waiting().empty());
}

TEST_F(Outbox, AnAlertTheModemNeverTakesIsGivenUpAfterTheHoldTimeWithALine) {
  outbox_->QueueSend("8613800100500", "8613900000001", "\xC0\xEB\xCF\xDF", 8);  // 离线
  clock_.Advance(std::chrono::minutes(59));
  outbox_->Pump();
  EXPECT_TRUE(notes_.empty());
  clock_.Advance(std::chrono::minutes(1));
  outbox_->Pump();
  ASSERT_EQ(notes_.size(), 1u);
  EXPECT_EQ(notes_[0], "SMS to 8613900000001 given up: no modem for 60 minutes: 离线");
  carrier_.ready = true;
  outbox_->Pump();
  EXPECT_TRUE(carrier_.taken.empty());
}

}  // namespace
