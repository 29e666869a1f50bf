#include "platform/service/service_dispatcher.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/service/win_error.h"

namespace service {

bool StartedByServiceManager() {
  const char* invocation = std::getenv("INVOCATION_ID");
  const char* notify = std::getenv("NOTIFY_SOCKET");
  if (!(invocation && *invocation) && !(notify && *notify)) return false;
  const char* execPid = std::getenv("SYSTEMD_EXEC_PID");
  return !execPid || std::string(execPid) == std::to_string(::getpid());
}

long RunServiceDispatcher(const std::function<void()>& serviceMain) {
  if (!StartedByServiceManager()) return kErrorFailedServiceControllerConnect;
  serviceMain();
  return kErrorSuccess;
}

}  // namespace service
