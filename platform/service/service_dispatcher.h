// The process's hand-over to the service manager while it runs as a service.
#pragma once

#include <functional>

namespace service {

// Whether systemd started this very process: it sets $INVOCATION_ID or
// $NOTIFY_SOCKET for the unit, and since version 248 $SYSTEMD_EXEC_PID. The
// first two are inherited by a unit's children (a shell started from a
// service, say), so when the last is set it must name this process.
bool StartedByServiceManager();

// When StartedByServiceManager(), runs serviceMain on this thread and
// returns 0 after it; otherwise returns kErrorFailedServiceControllerConnect
// at once, as for a service program started from a console.
long RunServiceDispatcher(const std::function<void()>& serviceMain);

}  // namespace service
