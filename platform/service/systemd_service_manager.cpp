#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/profile/profile_file.h"
#include "platform/service/service_manager.h"
#include "platform/service/systemd_unit.h"
#include "platform/service/win_error.h"

extern char** environ;

namespace service {
namespace {

constexpr const char* kSystemUnitDirectory = "/etc/systemd/system";

// The exit status of systemctl, -1 when it could not be run.
int Systemctl(std::vector<std::string> args) {
  args.insert(args.begin(), "systemctl");
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (::posix_spawnp(&pid, "systemctl", nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SystemdServiceManager : public ServiceManager {
 public:
  explicit SystemdServiceManager(const std::string& unitDirectory)
      : directory_(std::filesystem::absolute(unitDirectory).lexically_normal().string()),
        live_(directory_ == kSystemUnitDirectory && ::access("/run/systemd/system", F_OK) == 0) {}

  long Connect() override {
    struct stat info {};
    if (::stat(directory_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return kErrorDatabaseDoesNotExist;
    return ::access(directory_.c_str(), W_OK | X_OK) == 0 ? kErrorSuccess : ErrorFromErrno(errno);
  }

  bool Exists(const std::string& name) override {
    struct stat info {};
    return ::lstat(UnitPath(name).c_str(), &info) == 0;
  }

  long Create(const std::string& name, const std::string& programPath, const ServiceSettings& settings) override {
    if (Exists(name)) return kErrorServiceExists;
    const auto execStart = ExecStartLine(name, programPath);
    if (!execStart) return kErrorInvalidParameter;
    return Write(name, *execStart, settings);
  }

  long ChangeConfig(const std::string& name, const ServiceSettings& settings) override {
    const auto unit = profile::ReadWholeFile(UnitPath(name));
    if (!unit) return Exists(name) ? kErrorAccessDenied : kErrorServiceDoesNotExist;
    const auto execStart = FindExecStartLine(*unit);
    if (!execStart) return kErrorInvalidData;
    return Write(name, *execStart, settings);
  }

  long Stop(const std::string& name) override {
    if (!Exists(name)) return kErrorServiceDoesNotExist;
    // Without the running manager behind this folder nothing runs the unit.
    if (!live_ || Systemctl({"is-active", "--quiet", UnitFileName(name)}) != 0) return kErrorServiceNotActive;
    return Systemctl({"stop", UnitFileName(name)}) == 0 ? kErrorSuccess : kErrorServiceRequestTimeout;
  }

  long Delete(const std::string& name) override {
    if (::unlink(BootLinkPath(name).c_str()) != 0 && errno != ENOENT) return ErrorFromErrno(errno);
    if (::unlink(UnitPath(name).c_str()) != 0) {
      return errno == ENOENT ? kErrorServiceDoesNotExist : ErrorFromErrno(errno);
    }
    Reload();
    return kErrorSuccess;
  }

 private:
  std::string UnitPath(const std::string& name) const { return directory_ + "/" + UnitFileName(name); }
  std::string WantsPath() const { return directory_ + "/" + kBootTarget + ".wants"; }
  std::string BootLinkPath(const std::string& name) const { return WantsPath() + "/" + UnitFileName(name); }

  long Write(const std::string& name, const std::string& execStart, const ServiceSettings& settings) {
    if (!profile::ReplaceFileAtomically(UnitPath(name), RenderUnit(name, execStart, settings))) {
      return ::access(directory_.c_str(), W_OK) != 0 ? ErrorFromErrno(errno) : kErrorCantWrite;
    }
    const long error = SetBootLink(name, settings.startAtBoot);
    Reload();
    return error;
  }

  // The link "systemctl enable" makes, so the unit starts at boot.
  long SetBootLink(const std::string& name, bool enabled) {
    const std::string link = BootLinkPath(name);
    if (::unlink(link.c_str()) != 0 && errno != ENOENT) return ErrorFromErrno(errno);
    if (!enabled) return kErrorSuccess;
    if (::mkdir(WantsPath().c_str(), 0755) != 0 && errno != EEXIST) return ErrorFromErrno(errno);
    return ::symlink(UnitPath(name).c_str(), link.c_str()) == 0 ? kErrorSuccess : ErrorFromErrno(errno);
  }

  // Best effort: should the reload fail, the files are still in place and
  // systemd reads them at the next reload or boot.
  void Reload() {
    if (live_) Systemctl({"daemon-reload"});
  }

  std::string directory_;
  bool live_;
};

}  // namespace

std::unique_ptr<ServiceManager> MakeSystemdServiceManager(const std::string& unitDirectory) {
  return std::make_unique<SystemdServiceManager>(unitDirectory);
}

std::string UnitDirectory() {
  const char* directory = std::getenv("QUILLON_UNIT_DIR");
  return directory && *directory ? directory : kSystemUnitDirectory;
}

}  // namespace service
