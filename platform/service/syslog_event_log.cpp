#include <mutex>
#include <syslog.h>

#include "platform/service/event_log.h"

namespace service {
namespace {

class SyslogEventLog : public EventLog {
 public:
  void Report(const std::string& source, const std::string& line) override {
    // openlog keeps the ident pointer, so the ident is only used while held.
    std::lock_guard<std::mutex> lock(mutex_);
    ::openlog(source.c_str(), LOG_PID, LOG_DAEMON);
    ::syslog(LOG_INFO, "%s", line.c_str());
    ::closelog();
  }

 private:
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<EventLog> MakeSyslogEventLog() { return std::make_unique<SyslogEventLog>(); }

}  // namespace service
