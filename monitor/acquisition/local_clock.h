// The wall clock the acquisition stamps state changes with, behind an
// interface so that tests can choose the moment.
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

class Clock {
 public:
  virtual ~Clock() = default;
  // Not required to be thread-safe: the acquisition reads it on the
  // user-interface thread only.
  virtual LocalTimestamp Now() const = 0;
};

// The process's local wall clock.
class SystemClock final : public Clock {
 public:
  LocalTimestamp Now() const override;
};

// "%Y-%m-%d %H:%M:%S" in local time, or "Invalid DateTime" for a moment
// marked invalid, as the terminal list shows it.
std::string FormatLocalTimestamp(const LocalTimestamp& moment);
