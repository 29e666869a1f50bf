#include "smsservice/journal/journal_listing.h"

#include <ctime>
#include <sstream>

#include "platform/codepage/codepage.h"
#include "platform/journal/sqlite_db.h"

namespace {

std::string LocalTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// The message on one line, as it would read on a phone.
std::string Shown(const std::string& gbk) {
  std::string text = codepage::GbkToUtf8(gbk);
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return '"' + text + '"';
}

void Section(std::ostringstream& out, journal::Database& db, const char* title, const char* sql,
             const char* direction) {
  journal::Statement rows = db.Prepare(sql);
  std::ostringstream lines;
  int count = 0;
  while (rows.Step()) {
    ++count;
    lines << "  #" << rows.Integer(0) << "  " << LocalTime(rows.Integer(1)) << "  " << direction << ' ' << rows.Text(2)
          << "  " << Shown(rows.Text(3));
    if (!rows.Text(4).empty()) lines << "  (" << rows.Text(4) << ')';
    lines << '\n';
  }
  out << title << ": " << count << '\n' << lines.str();
}

}  // namespace

std::string DescribeJournal(const std::string& path) {
  auto db = journal::Database::OpenReadOnly(path);
  std::ostringstream out;
  Section(out, *db, "received, waiting for a client",
          "SELECT id, arrived, number, text, CASE WHEN parts > 1 THEN parts || ' parts' ELSE '' END "
          "FROM received ORDER BY id",
          "from");
  Section(out, *db, "to send",
          "SELECT id, queued, number, text, CASE WHEN handed THEN 'handed to the modem' ELSE '' END "
          "FROM sending ORDER BY id",
          "to");
  Section(out, *db, "given up", "SELECT id, given_up, number, text, reason FROM given_up ORDER BY given_up, id", "to");
  journal::Statement parts =
      db->Prepare("SELECT count(*), count(DISTINCT originator || '|' || reference || '|' || wide) FROM parts");
  parts.Step();
  out << "incomplete messages: " << parts.Integer(1) << " (" << parts.Integer(0) << " parts)\n";
  return out.str();
}
