// Lines a modem sends of its own accord, in the middle of whatever reply is
// under way: a new message stored, the network found or lost, the signal
// changed, the modem or its SIM restarted. They are taken out of replies as
// they are read, so that a reply parses as if the modem had sent none, and
// handed to the engine as records.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

enum class Unsolicited {
  kNewMessage,    // "+CMTI: <mem>,<index>": value is the slot, -1 when it names none
  kRegistration,  // "+CREG: <stat>[,<lac>,<ci>]": value is the status
  kSignal,        // "^RSSI: <n>", on the "+CSQ" scale
  kRestarted,     // "RDY", "^BOOT...": the modem has just started
  kSimNotReady,   // "+CPIN: NOT READY": the SIM went away or restarts
  kOther,         // any other "^..." line: vendor noise, nothing to act on
};

struct UnsolicitedLine {
  Unsolicited kind;
  int value = -1;
  bool operator==(const UnsolicitedLine&) const = default;
};

// What one complete line (without its CR LF) is, or nothing when it is part
// of a reply. "+CREG: 0,1" is the answer to "AT+CREG?" and stays in the
// reply; "+CREG: 1" and "+CREG: 1,"1A2B","01C3"" are unsolicited.
std::optional<UnsolicitedLine> ReadUnsolicited(std::string_view line);

// Takes the unsolicited lines out of `text[0, length)`, each with the empty
// line that frames it, and adds them to `found` in order. Returns the length
// left. Lines that began before `from` were taken care of by an earlier
// call; a last line without its line feed stays as it is, for the next read
// to complete.
size_t TakeOutUnsolicited(char* text, size_t length, size_t from, std::vector<UnsolicitedLine>& found);

// Whether an unfinished last line may become an unsolicited one.
bool MayBeUnsolicited(std::string_view unfinishedLine);
