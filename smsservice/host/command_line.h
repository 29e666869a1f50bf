// The program's command line: the registration verbs, matched as the
// service framework matched them, and the options of this port.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/tp_packet.h"

enum class HostVerb { kNone, kUnregServer, kRegServer, kUnregServerPerUser, kRegServerPerUser, kService };

// Whether `token` is "-verb" or "/verb", letters in any case, the verb
// running to the token's end or to a blank or tab inside it.
bool TokenNamesVerb(std::string_view token, std::string_view verb);

// The first token naming one of the four registration verbs decides;
// "Service" counts only when none of them is named.
HostVerb FindVerb(const std::vector<std::string>& args);

struct HostOptions {
  // Clients are on this machine; listening elsewhere would let anyone who
  // reaches it send SMS at the owner's cost, so only an explicit --listen
  // does.
  std::string listenAddress = "127.0.0.1";
  unsigned short port = SMS_SERVICE_PORT;
  // Messages stored in the modem while the service was away are handed to
  // clients instead of discarded at start-up.
  bool keepStored = false;
  // Where the journal lives (the unit's state directory).
  std::string stateDir = "/var/lib/quillon";
  // Messages live in memory only, as before the service had a journal: for
  // measuring what the journal costs, and for machines with no storage to spare.
  bool noJournal = false;
  // The modem announces each SMS it stores, and it is listed at once rather
  // than after 5 s without traffic.
  bool indications = false;
  // Where metrics and the status page are served ("HOST:PORT"); none when empty.
  std::string metrics;
  bool help = false;
};

// --listen ADDR, --port N (1 to 65535), --state-dir DIR (else
// $QUILLON_STATE_DIR), --no-journal, --keep-stored, --indications and --help, the first
// three also as --name=value;
// other arguments are left to FindVerb. nullopt with *error set when an
// option lacks its value or the port is not a number in range.
std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& args, std::string* error);

extern const char* const kHostUsage;
