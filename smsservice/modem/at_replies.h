// Checks of modem replies, as pure functions over the bytes a read returned.
// Replies come as modems send them: echo perhaps still on, unsolicited lines
// ("^RSSI:", "+CMTI:") mixed in, CR LF everywhere.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "smsservice/modem/pdu_codec.h"

// "OK" anywhere in the reply (the start-up dialogue's test).
bool HasOk(std::string_view reply);
// "+CPIN: READY": the SIM needs no PIN ("NOT READY" is not ready).
bool SimReady(std::string_view reply);
// "+CSQ: n": passes when n, taken as unsigned, is at most 31; a missing
// number counts as 99 (not known).
bool CheckSignal(std::string_view reply);
// "+CREG: n,stat": passes when stat is 1 (home) or 5 (roaming).
bool CheckRegistration(std::string_view reply);
// "+CPMS: used,total,...": the slots to empty, total when any is used, else 0.
int ParseStorage(std::string_view reply);
// "+CPMS: used,...": the messages the storage holds, 0 when not told.
int StoredCount(std::string_view reply);
// "+CPMS: used,total": the first storage's slots, total 0 when not told.
struct StorageUse {
  int used = 0;
  int total = 0;
};
StorageUse ParseStorageUse(std::string_view reply);

// The status of an "AT+CREG?" answer ("+CREG: n,stat"): 0 not registered,
// 1 home, 2 searching, 3 denied, 4 unknown, 5 roaming; nothing when absent.
std::optional<int> RegistrationStatus(std::string_view reply);
// Whether a status is one under which messages can be sent.
inline bool IsRegistered(int status) { return status == 1 || status == 5; }
// The first number of "+CSQ: rssi,ber": 0-31, or 99 when not known.
std::optional<int> SignalQuality(std::string_view reply);
// The information line of an identity query ("AT+CGMI", "AT+CGSN"...),
// without echo, a "+CGMI:" style prefix or quotes; "" when there is none.
std::string IdentityText(std::string_view reply);
// The final result code a reply ended with, for the log: "ERROR",
// "+CMS ERROR: 331"; "" when none has come.
std::string FinalResult(std::string_view reply);

// What a failed send says about where the fault lies.
enum class SendFailure {
  kNoNetwork,  // "+CMS ERROR" with a cause of the network being away or busy
  kMessage,    // refused for the message itself (number, content, service centre)
  kModem,      // a plain ERROR or a fault of the modem: no fault of the message
};
SendFailure ClassifySendFailure(std::string_view reply);

// The "\r\n> " that invites the message after "AT+CMGS", wherever the reads
// that brought it were cut.
bool HasPrompt(std::string_view collected);

// The "AT+CMGL=0" listing: every "+CMGL:" entry decoded, in reply order.
std::vector<DecodedSms> ParseListing(std::string_view reply);
// Logs each entry the listing withholds from clients, and why.
void LogWithheld(const std::vector<DecodedSms>& entries);
// The "+CMGL:" entries of a reply.
int CountListingEntries(std::string_view reply);

enum ReplyVerdict { REPLY_NONE = 0, REPLY_OK = 1, REPLY_ERROR = -1 };
// The final result of a command reply collected so far: OK (checked first),
// ERROR, or none yet (also for fewer than 4 bytes).
ReplyVerdict JudgeReply(std::string_view collected);
