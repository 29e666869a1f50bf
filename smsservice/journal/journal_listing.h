// What an operator reads of the service's journal: the messages waiting for
// a client, those waiting to be sent, those given up and the incomplete
// ones, read without disturbing a running service.
#pragma once

#include <string>

// The text `quillonctl journal` prints for the journal at `path`, in UTF-8.
// Throws journal::JournalError when the file cannot be read.
std::string DescribeJournal(const std::string& path);
