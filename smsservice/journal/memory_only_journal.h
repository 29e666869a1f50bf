// A journal that keeps nothing: the service as it ran before it had one,
// for tests that do not look at the journal and for measuring what the
// real one costs. Every message lives only in the rings.
#pragma once

#include <atomic>

#include "smsservice/journal/sms_journal.h"

class MemoryOnlyJournal final : public SmsJournal {
 public:
  bool Durable() const override { return false; }
  void Atomically(const std::function<void()>& work) override { work(); }
  bool WasListed(const std::string&) override { return false; }
  void RememberListed(const std::string&, int) override {}
  void ForgetSlot(int) override {}
  void ForgetAllSlots() override {}
  int64_t AddReceived(const ModemSms&) override { return ++lastId_; }
  void RemoveReceived(int64_t) override {}
  std::vector<ModemSms> WaitingReceived() override { return {}; }
  int64_t AddSend(const ModemSms&) override { return ++lastId_; }
  void MarkHandedToModem(int64_t) override {}
  void RemoveSend(int64_t) override {}
  void GiveUpSend(int64_t, const std::string&) override {}
  std::vector<JournaledSend> WaitingSends() override { return {}; }
  JournalCounts Counts() override { return {}; }
  void StorePart(const StoredPart&) override {}
  void RemoveParts(const PartialKey&) override {}
  std::vector<StoredPart> StoredParts() override { return {}; }

 private:
  std::atomic<int64_t> lastId_{0};
};
