// quillonctl journal: what the SMS service's journal holds, for operators
// who want to know whether a message is still on its way.
#pragma once

#include <string>
#include <vector>

// journal [--state-dir DIR]: DIR as the service chooses it (--state-dir,
// $QUILLON_STATE_DIR, /var/lib/quillon). 0; 1 when the journal cannot be
// read; throws UsageError for bad options.
int RunJournalCommand(const std::vector<std::string>& args);
