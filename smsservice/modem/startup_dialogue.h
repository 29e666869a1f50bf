// The modem's start-up dialogue: checks the modem, the SIM, the signal and
// the network, learns who made the modem, and empties the message storage.
// Each step waits at least its usual pause, then reads on until the modem's
// final result code or the step's limit: real modems take seconds to answer
// while their SIM starts, and a reply that comes late must not be taken as
// the answer to the next command.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "smsservice/modem/modem_link.h"
#include "smsservice/modem/modem_sms.h"

struct StartupRequest {
  // List the messages stored while the service was away and keep the
  // complete ones for clients before the storage is emptied.
  bool keepStored = false;
  // Ask for new-message indications instead of none.
  bool indications = false;
  // Switch the radio off and on again first ("AT+CFUN=0", "AT+CFUN=1"): a
  // modem that answers but no longer sends or finds the network.
  bool cycleRadio = false;
};

struct StartupOutcome {
  bool ready = false;
  std::vector<ModemSms> kept;  // in arrival order
  bool indications = false;    // the modem took the indications command
  bool echoWasOn = false;      // the first command came back echoed: the modem had (re)started
  std::string failure;         // the step that failed and what the modem said, for the status
};

// Runs the dialogue on the open line of `link`, noting what it learns in
// the link's health. `cancelled` is looked at between steps: a service that
// is stopping must not wait for a storage of fifty slots to be emptied.
StartupOutcome RunStartupDialogue(const ModemLink& link, const std::atomic<bool>& cancelled,
                                  const StartupRequest& request = {});
