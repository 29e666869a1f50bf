// Heraldo --audit FROM TO: the gateway's decisions between two local times,
// as UTF-8 CSV for a spreadsheet or a script.
#pragma once

#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "gateway/journal/message_journal.h"

// "2026-12-01" (that day's start, or with `endOfDay` its last second) or
// "2026-12-01 08:30:00", local time; nothing for anything else.
std::optional<std::time_t> ParseAuditTime(const std::string& text, bool endOfDay);

// A header line, then one line per entry (GBK fields turned to UTF-8).
std::string AuditCsv(const std::vector<AuditEntry>& entries);

// The whole command: the CSV to `out`, a reason to `err`; the exit status.
int ExportAudit(const std::string& from, const std::string& to, std::ostream& out, std::ostream& err);
