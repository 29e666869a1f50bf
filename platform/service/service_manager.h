// The service manager as the service host sees it: create, configure, stop
// and remove one service by name. Every call returns 0 or a Windows-style
// error code (win_error.h). Not thread-safe; the host uses it from its main
// thread only.
#pragma once

#include <memory>
#include <string>

namespace service {

// What a service's configuration change may set.
struct ServiceSettings {
  std::string displayName;
  std::string description;  // empty: none
  bool startAtBoot = false;
};

class ServiceManager {
 public:
  ServiceManager() = default;
  virtual ~ServiceManager() = default;
  ServiceManager(const ServiceManager&) = delete;
  ServiceManager& operator=(const ServiceManager&) = delete;

  // 0 when this process may create, change and remove services.
  virtual long Connect() = 0;
  // Whether a service of that name is installed; false when that cannot be
  // told.
  virtual bool Exists(const std::string& name) = 0;
  // Installs a service that runs `programPath` (a full path, quoted here as
  // the manager needs) with only the options the administrator adds in the
  // service's options file. kErrorServiceExists when one of that name is
  // installed.
  virtual long Create(const std::string& name, const std::string& programPath, const ServiceSettings& settings) = 0;
  // Keeps the program, replaces the settings. kErrorServiceDoesNotExist when
  // none of that name is installed.
  virtual long ChangeConfig(const std::string& name, const ServiceSettings& settings) = 0;
  // Stops a running service and waits for it. kErrorServiceNotActive when it
  // is not running.
  virtual long Stop(const std::string& name) = 0;
  // Removes the service. kErrorServiceDoesNotExist when none is installed.
  virtual long Delete(const std::string& name) = 0;
};

// Unit files in `unitDirectory` (see systemd_unit.h). The running manager is
// told of changes (and asked to stop the service) only when `unitDirectory`
// is the system's own, /etc/systemd/system, and systemd is running;
// otherwise only the files change.
std::unique_ptr<ServiceManager> MakeSystemdServiceManager(const std::string& unitDirectory);

// $QUILLON_UNIT_DIR, else /etc/systemd/system.
std::string UnitDirectory();

}  // namespace service
