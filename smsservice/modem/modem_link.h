// What the modem hands the start-up dialogue and the traffic engine: its
// serial line, the rings that meet the request server, the table of parts,
// the journal that keeps what the rings hold, what is known of the modem's
// health, and the clock every wait is measured on. The modem owns or borrows them all and outlives both users.
#pragma once

#include "platform/clock/clock.h"
#include "smsservice/journal/sms_journal.h"
#include "smsservice/modem/modem_health.h"
#include "smsservice/modem/partial_table.h"
#include "smsservice/modem/serial_line.h"
#include "smsservice/modem/sms_rings.h"

struct ModemLink {
  SerialLine& line;
  SmsRings& rings;
  PartialTable& partials;
  SmsJournal& journal;
  ModemHealth& health;
  const Clock& clock;
};
