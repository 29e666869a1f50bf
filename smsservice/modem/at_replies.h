// Checks of modem replies, as pure functions over the bytes a read returned.
// Replies come as modems send them: echo perhaps still on, unsolicited lines
// ("^RSSI:", "+CMTI:") mixed in, CR LF everywhere.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "smsservice/modem/pdu_codec.h"

// "OK" anywhere in the reply (the start-up dialogue's test).
bool HasOk(std::string_view reply);
// "READY" anywhere: the SIM needs no PIN.
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

// The "\r\n> " that invites the message after "AT+CMGS", wherever the reads
// that brought it were cut.
bool HasPrompt(std::string_view collected);

// Takes the new-message indications out of `text[0, length)`: each
// "+CMTI: <mem>,<index>" line goes, with the empty line that frames it, so
// that what remains reads as if the modem had sent none. Returns the length
// left. The storage index each one names is added to `slots` (-1 when it
// names none). Lines that began before `from` were taken care of by an
// earlier call; a last line without its line feed stays as it is, for the
// next read to complete.
size_t TakeOutIndications(char* text, size_t length, size_t from, std::vector<int>& slots);
// Whether an unfinished last line may become an indication.
bool MayBeIndication(std::string_view unfinishedLine);

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
