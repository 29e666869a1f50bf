#include "smsservice/modem/journaled_listing.h"

#include <syslog.h>

#include "platform/journal/sqlite_db.h"
#include "platform/log/activity_log.h"

namespace {

// Marks the entries the journal took before; remembers the others.
int SetAsideRepeats(std::vector<DecodedSms>& listed, SmsJournal& journal) {
  int repeats = 0;
  for (DecodedSms& entry : listed) {
    if (entry.record.part == 0) continue;  // withheld: nothing to keep
    const auto& header = entry.concatenation;
    std::string key = ListingKey(entry.record, header ? header->reference : -1, header && header->wideReference,
                                 header ? header->sequence : 0);
    if (!journal.WasListed(key)) {
      journal.RememberListed(key, entry.record.index);
      continue;
    }
    entry.record.part = 0;
    entry.concatenation.reset();
    ++repeats;
  }
  return repeats;
}

}  // namespace

JournaledListing JournalListing(std::vector<DecodedSms> listed, PartialTable& partials, SmsJournal& journal) {
  JournaledListing result;
  int repeats = 0;
  bool joined = false;
  try {
    journal.Atomically([&] {
      std::vector<DecodedSms> entries = listed;  // kept whole in case the commit fails first
      repeats = SetAsideRepeats(entries, journal);
      result.records = partials.Join(std::move(entries));
      joined = true;
      for (ModemSms& record : result.records)
        if (record.part == SMS_PART_COMPLETE) record.journalId = journal.AddReceived(record);
    });
  } catch (const journal::JournalError& error) {
    activity_log::Log(LOG_ERR, "the journal cannot be written (%s): this listing's SMS stay in the modem",
                      error.what());
    // The table joins each part once, whether or not the journal kept it.
    if (!joined) result.records = partials.Join(std::move(listed));
    for (ModemSms& record : result.records) record.journalId = 0;
    result.unsaved = true;
    return result;
  }
  if (repeats > 0)
    activity_log::Log(LOG_NOTICE, "%d listed SMS were journaled before the service restarted; deleted, not repeated",
                      repeats);
  return result;
}
