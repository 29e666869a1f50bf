// What the service host needs of the platform, gathered so that tests can
// put fakes in its place.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/service/event_log.h"
#include "platform/service/registry.h"
#include "platform/service/service_manager.h"

struct HostPlatform {
  // The classes root; the per-user verbs change the user's.
  std::function<std::unique_ptr<service::Registry>(bool perUser)> classesRoot;
  std::unique_ptr<service::ServiceManager> services;
  std::unique_ptr<service::EventLog> eventLog;
  // A message box with caption and text; the verb that shows one fails.
  std::function<void(const std::string& caption, const std::string& text)> messageBox;
  // Runs the service's main function for the service manager; 0 after it,
  // or an error code when the process cannot be a service.
  std::function<long(const std::function<void()>& serviceMain)> dispatcher;
  // The running program's full path; empty when unknown.
  std::function<std::string()> programPath;
};

// The stand-ins: registry files, systemd units, syslog; message boxes go to
// standard error, as there is no display.
HostPlatform MakeLinuxHostPlatform();
