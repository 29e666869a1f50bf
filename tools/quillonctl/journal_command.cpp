#include "tools/quillonctl/journal_command.h"

#include <cstdlib>
#include <iostream>

#include "platform/journal/sqlite_db.h"
#include "smsservice/journal/journal_listing.h"
#include "tools/quillonctl/command_line.h"

int RunJournalCommand(const std::vector<std::string>& args) {
  CommandLine options(args, {});
  options.AllowOnly({"state-dir"});
  const char* fromEnvironment = std::getenv("QUILLON_STATE_DIR");
  std::string folder = options.Text(
      "state-dir", fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "/var/lib/quillon");
  const std::string path = folder + "/quillon.db";
  try {
    std::cout << DescribeJournal(path);
    return 0;
  } catch (const journal::JournalError& error) {
    std::cerr << "quillonctl: cannot read the journal " << path << ": " << error.what() << "\n";
    return 1;
  }
}
