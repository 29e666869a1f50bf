// The service's journal in one SQLite file (or in memory, for tests). Every
// commit that stands between a message and its loss waits for the disk.
// Those that only take a message out (fetched, sent, slot emptied) do not:
// a killed process loses none of them, as they sit in the system's cache,
// and a power cut at worst brings a message once more, never loses one.
#pragma once

#include <mutex>
#include <string>

#include "platform/clock/clock.h"
#include "platform/journal/sqlite_db.h"
#include "smsservice/journal/sms_journal.h"

class SqliteSmsJournal final : public SmsJournal {
 public:
  // Messages given up are kept this long for operators to see.
  static constexpr std::time_t kGivenUpKeptS = 30 * 24 * 3600;

  // Opens or creates `path` (journal::kInMemory for none); a damaged file is
  // moved aside, as `report` then says. Throws journal::JournalError when
  // the file cannot be made. Time stamps are read on `clock`.
  SqliteSmsJournal(const std::string& path, const Clock& clock, journal::OpenReport* report = nullptr);

  bool Durable() const override { return durable_; }
  void Atomically(const std::function<void()>& work) override;
  bool WasListed(const std::string& key) override;
  void RememberListed(const std::string& key, int slot) override;
  void ForgetSlot(int slot) override;
  void ForgetAllSlots() override;
  int64_t AddReceived(const ModemSms& sms) override;
  void RemoveReceived(int64_t id) override;
  std::vector<ModemSms> WaitingReceived() override;
  int64_t AddSend(const ModemSms& sms) override;
  void MarkHandedToModem(int64_t id) override;
  void RemoveSend(int64_t id) override;
  void GiveUpSend(int64_t id, const std::string& why) override;
  std::vector<JournaledSend> WaitingSends() override;
  JournalCounts Counts() override;
  void StorePart(const StoredPart& part) override;
  void RemoveParts(const PartialKey& key) override;
  std::vector<StoredPart> StoredParts() override;

 private:
  int Count(const char* sql);
  // Runs `work` as a commit that does not wait for the disk.
  void Quickly(const std::function<void()>& work);

  journal::Database db_;
  const Clock& clock_;
  std::recursive_mutex lock_;
  bool inTransaction_ = false;
  bool durable_;
};
