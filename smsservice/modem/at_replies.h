// Checks of modem replies, as pure functions over the bytes a read returned.
// Replies come as modems send them: echo perhaps still on, unsolicited lines
// ("^RSSI:", "+CMTI:") mixed in, CR LF everywhere.
#pragma once

#include <string_view>

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

enum ReplyVerdict { REPLY_NONE = 0, REPLY_OK = 1, REPLY_ERROR = -1 };
// The final result of a command reply collected so far: OK (checked first),
// ERROR, or none yet (also for fewer than 4 bytes).
ReplyVerdict JudgeReply(std::string_view collected);
