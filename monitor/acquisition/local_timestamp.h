// The moments the acquisition stamps state changes with, as the terminal
// list shows them.
#pragma once

#include <ctime>
#include <string>

// A moment of the local calendar. `valid` is false when the system could not
// turn the clock reading into a local date and time; such a moment is kept
// (it still marks that something changed) but cannot be shown.
struct LocalTimestamp {
  std::time_t when = 0;
  bool valid = false;

  bool operator==(const LocalTimestamp&) const = default;
};

// The moment `when` (a wall-clock reading), marked invalid when the system
// cannot place it in the local calendar.
LocalTimestamp ToLocalTimestamp(std::time_t when);

// "%Y-%m-%d %H:%M:%S" in local time, or "Invalid DateTime" for a moment
// marked invalid, as the terminal list shows it.
std::string FormatLocalTimestamp(const LocalTimestamp& moment);
