// The system event log. Thread-safe.
#pragma once

#include <memory>
#include <string>

namespace service {

class EventLog {
 public:
  EventLog() = default;
  virtual ~EventLog() = default;
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  // Records one information line under `source`; a log that cannot be
  // reached loses the line.
  virtual void Report(const std::string& source, const std::string& line) = 0;
};

// syslog, facility daemon, level info, `source` as the ident.
std::unique_ptr<EventLog> MakeSyslogEventLog();

}  // namespace service
