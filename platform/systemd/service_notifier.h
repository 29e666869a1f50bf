// What the service tells systemd when it runs as a Type=notify unit: that it
// is ready, that its working loops still turn (the watchdog), and a status
// line for "systemctl status". Without NOTIFY_SOCKET in the environment
// every call does nothing.
#pragma once

#include <string>

namespace service_notifier {

// "READY=1": the service accepts clients.
void Ready();
// "STOPPING=1": the service is shutting down.
void Stopping();
// "STATUS=<text>", sent only when it differs from the last one.
void Status(const std::string& text);
// "WATCHDOG=1", at most four times per watchdog interval whatever the
// number of calls, and never when systemd watches nothing. Called from the loop whose
// stalling must restart the service. Safe from any thread.
void Alive();

}  // namespace service_notifier
