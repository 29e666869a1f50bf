// Heraldo's journal: every message it took, from the SMS service or from the
// operator, and what became of it. A message is committed before it is
// queued, so that one fetched, waiting or playing when the program ends is
// played after it starts again; the list shows what happened before.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

enum class MessageFate { Queued, Playing, Played, Refused, Failed, Expired };

struct JournaledMessage {
  int64_t id = 0;
  // As the row shows them: GBK, the time as "%Y-%m-%d %H:%M:%S".
  std::string number;
  std::string time;
  std::string text;
  bool isText = false;
  MessageFate fate = MessageFate::Queued;
  std::string reason;     // why it failed, UTF-8
  std::time_t taken = 0;  // when Heraldo took it
  // Who to answer: the received sender as it came, "86" and all. Not kept;
  // a message read back from the journal is answered at its number.
  std::string sender;
};

// One decision on one message, for the audit trail: played, refused or
// failed, and why.
struct AuditEntry {
  std::time_t at = 0;
  std::string number;     // GBK, as the row shows it
  std::string terminals;  // "3,7", or empty when none was addressed
  std::string text;       // GBK, without a PIN
  std::string decision;   // "played", "refused", "failed"
  std::string reason;     // UTF-8; empty for played
};

class MessageJournal {
 public:
  virtual ~MessageJournal() = default;
  // Its id; nothing for an SMS the journal took in the last hour (same
  // sender, time stamp and text): the service hands a message out again when
  // it stopped just after handing it out.
  virtual std::optional<int64_t> Add(const JournaledMessage& message) = 0;
  virtual void Record(int64_t id, MessageFate fate, const std::string& reason = {}) = 0;
  // The last `count` messages, oldest first.
  virtual std::vector<JournaledMessage> Latest(size_t count) = 0;
  // The text that stands for the message from now on (its PIN taken out),
  // and that its sender was checked: a restart does not check it again.
  virtual void Accept(int64_t id, const std::string& text) = 0;
  // Whether the sender of message `id` was checked before the program ended.
  virtual bool Accepted(int64_t id) = 0;
  virtual void Audit(const AuditEntry& entry) = 0;
  // The decisions taken from `from` to `to`, both included, oldest first.
  virtual std::vector<AuditEntry> AuditBetween(std::time_t from, std::time_t to) = 0;
};
