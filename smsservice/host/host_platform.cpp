#include "smsservice/host/host_platform.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/service/service_dispatcher.h"

HostPlatform MakeLinuxHostPlatform() {
  HostPlatform platform;
  platform.classesRoot = [](bool perUser) { return service::OpenClassesRoot(perUser); };
  platform.services = service::MakeSystemdServiceManager(service::UnitDirectory());
  platform.eventLog = service::MakeSyslogEventLog();
  platform.messageBox = [](const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  };
  platform.dispatcher = service::RunServiceDispatcher;
  platform.programPath = [] {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
  };
  return platform;
}
