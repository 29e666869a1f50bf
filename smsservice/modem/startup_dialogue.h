// The modem's start-up dialogue: checks the modem, the SIM, the signal and
// the network, and empties the message storage.
#pragma once

#include <atomic>
#include <vector>

#include "smsservice/modem/modem_link.h"
#include "smsservice/modem/modem_sms.h"

// Runs the whole dialogue on the open `line`; true when every step
// passed. `cancelled` is looked at between steps: a service that is stopping
// must not wait for a storage of fifty slots to be emptied. With `kept`, the
// unread messages are listed before the storage is emptied, and the complete
// ones land there in arrival order. With `indications` pointing at true, the
// modem is asked for new-message indications instead of none; it is left
// true only when the modem took the command. The dialogue talks on the
// link's line, joins parts of kept messages in its table and measures the
// listing's time-out on its clock.
bool RunStartupDialogue(const ModemLink& link, const std::atomic<bool>& cancelled,
                        std::vector<ModemSms>* kept = nullptr, bool* indications = nullptr);
