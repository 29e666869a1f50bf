// The registry as the service host sees it: keys named by backslash paths
// ("AppID\{9EE9FAFB-...}") holding string values, the unnamed one being the
// key's default value. Key and value names compare without regard to ASCII
// case and keep the case they were created with. Every call returns 0 or a
// Windows-style error code (win_error.h).
#pragma once

#include <memory>
#include <string>

namespace service {

class Registry {
 public:
  Registry() = default;
  virtual ~Registry() = default;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // 0 when the key exists; kErrorFileNotFound when it does not.
  virtual long OpenKey(const std::string& key) const = 0;
  // Creates the key and any missing parents; 0 when it exists afterwards.
  virtual long CreateKey(const std::string& key) = 0;
  // The value's data in *data; "" names the default value. kErrorFileNotFound
  // when the key or the value is missing (*data is then untouched).
  virtual long QueryValue(const std::string& key, const std::string& name, std::string* data) const = 0;
  // The key must exist.
  virtual long SetValue(const std::string& key, const std::string& name, const std::string& data) = 0;
  virtual long DeleteValue(const std::string& key, const std::string& name) = 0;
  // Removes the key with all its subkeys.
  virtual long DeleteTree(const std::string& key) = 0;
};

// One store file (format in registry_format.h). Every call reads the file
// afresh; changes replace it atomically under a lock on its folder, which
// is created when missing, so several processes may share one store.
std::unique_ptr<Registry> OpenRegistryFile(const std::string& path);

// The classes root: reads see the per-user store over the system one (a key
// present in the user's store hides the system's key of that name, as the
// user's classes do on the original platform); changes go to the user's
// store when `perUser`, else to the system's.
std::unique_ptr<Registry> OpenClassesRoot(bool perUser);

// $QUILLON_REGISTRY, else "registry" in the service's $STATE_DIRECTORY, else
// /var/lib/quillon/registry.
std::string SystemRegistryPath();
// $QUILLON_USER_REGISTRY, else $XDG_CONFIG_HOME/quillon/registry, else
// <home>/.config/quillon/registry with home from $HOME or the password file.
std::string UserRegistryPath();

}  // namespace service
