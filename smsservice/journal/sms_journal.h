// The durable copy of the service's two rings: every received message from
// the moment it is listed until a client has been handed it, every message
// a client was told is queued until the modem took it, and the parts of
// concatenated messages until they are joined. The engine and the request
// server use it from their own threads; each call is atomic.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "smsservice/modem/modem_sms.h"
#include "smsservice/modem/partial_table.h"

// One message waiting to be sent, as the journal keeps it.
struct JournaledSend {
  ModemSms sms;
  // The modem was handed its PDU before the service stopped, and said
  // nothing that the journal kept: it may have gone out already.
  bool mayHaveGone = false;
};

struct JournalCounts {
  int receivedWaiting = 0;
  int sending = 0;
  int givenUp = 0;
  int partsWaiting = 0;
};

class SmsJournal : public PartStore {
 public:
  ~SmsJournal() override = default;

  // Whether what it holds outlives the process.
  virtual bool Durable() const = 0;

  // Runs `work` as one commit that has reached the disk when it returns;
  // throws journal::JournalError, keeping nothing of it, when it cannot.
  virtual void Atomically(const std::function<void()>& work) = 0;

  // Whether a listed entry with this key (ListingKey) was journaled since
  // its slot was last emptied; then it must not be journaled again.
  virtual bool WasListed(const std::string& key) = 0;
  virtual void RememberListed(const std::string& key, int slot) = 0;
  // The modem emptied the slot, or the whole storage: nothing listed from
  // it can come again.
  virtual void ForgetSlot(int slot) = 0;
  virtual void ForgetAllSlots() = 0;

  // A complete message for clients; returns its journal id.
  virtual int64_t AddReceived(const ModemSms& sms) = 0;
  // A client's socket took the reply that carried it.
  virtual void RemoveReceived(int64_t id) = 0;
  // What clients have not been handed yet, in arrival order, ids set.
  virtual std::vector<ModemSms> WaitingReceived() = 0;

  // Accepted for sending; returns its journal id.
  virtual int64_t AddSend(const ModemSms& sms) = 0;
  // Its PDU is about to be written to the modem.
  virtual void MarkHandedToModem(int64_t id) = 0;
  // The modem answered "+CMGS", or the message was given up for `why`.
  virtual void RemoveSend(int64_t id) = 0;
  virtual void GiveUpSend(int64_t id, const std::string& why) = 0;
  virtual std::vector<JournaledSend> WaitingSends() = 0;

  virtual JournalCounts Counts() = 0;
};

// What makes a listed entry the same entry when it is listed again after a
// crash: originator, service-centre time stamp, concatenation reference and
// sequence, the text itself (two messages from one number in one second are
// two messages) and the slot it is stored in (a sender may well send the
// same text twice in one second; a relisted entry is still in its slot).
std::string ListingKey(const ModemSms& record, int reference, bool wideReference, int sequence);
