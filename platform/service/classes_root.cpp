#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <utility>

#include "platform/service/registry.h"
#include "platform/service/win_error.h"

namespace service {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

class ClassesRoot : public Registry {
 public:
  ClassesRoot(std::unique_ptr<Registry> user, std::unique_ptr<Registry> system, bool perUser)
      : user_(std::move(user)), system_(std::move(system)), target_(perUser ? *user_ : *system_) {}

  long OpenKey(const std::string& key) const override {
    long error;
    const Registry& reader = ReaderFor(key, &error);
    return error != kErrorSuccess ? error : reader.OpenKey(key);
  }
  long QueryValue(const std::string& key, const std::string& name, std::string* data) const override {
    long error;
    const Registry& reader = ReaderFor(key, &error);
    return error != kErrorSuccess ? error : reader.QueryValue(key, name, data);
  }
  long CreateKey(const std::string& key) override { return target_.CreateKey(key); }
  long SetValue(const std::string& key, const std::string& name, const std::string& data) override {
    return target_.SetValue(key, name, data);
  }
  long DeleteValue(const std::string& key, const std::string& name) override { return target_.DeleteValue(key, name); }
  long DeleteTree(const std::string& key) override { return target_.DeleteTree(key); }

 private:
  // The user's key when it exists, else the system's. A user store that
  // cannot be read is reported rather than passed over.
  const Registry& ReaderFor(const std::string& key, long* error) const {
    const long user = user_->OpenKey(key);
    *error = user == kErrorFileNotFound ? kErrorSuccess : user;
    return user == kErrorFileNotFound ? *system_ : *user_;
  }

  std::unique_ptr<Registry> user_;
  std::unique_ptr<Registry> system_;
  Registry& target_;
};

}  // namespace

std::string SystemRegistryPath() {
  if (std::string path = Environment("QUILLON_REGISTRY"); !path.empty()) return path;
  // The state directory systemd gives the service (the first, should it be
  // given several); the same folder as the default unless a unit moves it.
  const std::string state = Environment("STATE_DIRECTORY");
  if (!state.empty() && state.front() == '/') return state.substr(0, state.find(':')) + "/registry";
  return "/var/lib/quillon/registry";
}

std::string UserRegistryPath() {
  if (std::string path = Environment("QUILLON_USER_REGISTRY"); !path.empty()) return path;
  if (std::string config = Environment("XDG_CONFIG_HOME"); !config.empty()) return config + "/quillon/registry";
  std::string home = Environment("HOME");
  if (home.empty()) {
    // Services started by the manager often have no HOME.
    const passwd* entry = ::getpwuid(::getuid());
    home = entry && entry->pw_dir ? entry->pw_dir : "/";
  }
  return home + "/.config/quillon/registry";
}

std::unique_ptr<Registry> OpenClassesRoot(bool perUser) {
  return std::make_unique<ClassesRoot>(OpenRegistryFile(UserRegistryPath()), OpenRegistryFile(SystemRegistryPath()),
                                       perUser);
}

}  // namespace service
