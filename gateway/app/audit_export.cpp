#include "gateway/app/audit_export.h"

#include <filesystem>

#include "gateway/journal/sqlite_message_journal.h"
#include "gateway/program_directory.h"
#include "platform/codepage/codepage.h"
#include "platform/timetext/timetext.h"

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";  // so that a spreadsheet reads it as UTF-8

// Quoted when it must be; a field a spreadsheet would take for a formula
// (an SMS text beginning with "=", say) is kept as text.
std::string CsvField(std::string field) {
  if (!field.empty() && (field[0] == '=' || field[0] == '+' || field[0] == '-' || field[0] == '@'))
    field.insert(0, "'");
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

std::optional<std::time_t> ParseAuditTime(const std::string& text, bool endOfDay) {
  if (text.size() == 10) return timetext::ParseLocalTime(text + (endOfDay ? " 23:59:59" : " 00:00:00"));
  return timetext::ParseLocalTime(text);
}

std::string AuditCsv(const std::vector<AuditEntry>& entries) {
  std::string csv = std::string(kByteOrderMark) + "time,number,terminals,text,decision,reason\r\n";
  for (const AuditEntry& entry : entries) {
    csv += CsvField(timetext::FormatLocalTime(entry.at)) + "," + CsvField(codepage::GbkToUtf8(entry.number)) + "," +
           CsvField(entry.terminals) + "," + CsvField(codepage::GbkToUtf8(entry.text)) + "," +
           CsvField(entry.decision) + "," + CsvField(entry.reason) + "\r\n";
  }
  return csv;
}

int ExportAudit(const std::string& from, const std::string& to, std::ostream& out, std::ostream& err) {
  auto begin = ParseAuditTime(from, false);
  auto end = ParseAuditTime(to, true);
  if (!begin || !end) {
    err << "Heraldo: \"" << (begin ? to : from) << "\" is not a date (2026-12-01) or a time (2026-12-01 08:30:00)\n";
    return 2;
  }
  std::string path = ProgramFile(SqliteMessageJournal::kFileName);
  std::error_code missing;
  if (path.empty() || !std::filesystem::exists(path, missing)) {
    err << "Heraldo: no journal at " << (path.empty() ? std::string(SqliteMessageJournal::kFileName) : path)
        << "; it is made when Heraldo first runs\n";
    return 1;
  }
  try {
    auto db = journal::Database::OpenReadOnly(path);
    out << AuditCsv(SqliteMessageJournal::ReadAudit(*db, *begin, *end));
  } catch (const journal::JournalError& error) {
    err << "Heraldo: " << path << " cannot be read: " << error.what() << "\n";
    return 1;
  }
  return out.good() ? 0 : 1;
}
