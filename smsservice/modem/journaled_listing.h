// What becomes of one listing's entries before any of them is deleted from
// the modem: each is joined with the parts that came before, and the
// journal takes every complete message and every part in one commit. An
// entry the journal holds already (listed again after a crash) is only
// deleted.
#pragma once

#include <vector>

#include "smsservice/journal/sms_journal.h"
#include "smsservice/modem/modem_sms.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/pdu_codec.h"

struct JournaledListing {
  // In listing order, complete ones with their journal ids; part 0 for
  // entries only to be deleted.
  std::vector<ModemSms> records;
  // The journal could not be written: nothing may leave the modem.
  bool unsaved = false;
};

JournaledListing JournalListing(std::vector<DecodedSms> listed, PartialTable& partials, SmsJournal& journal);
